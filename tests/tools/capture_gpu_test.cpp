// tarnix-capture end to end on the graphics device, at tiny render sizes: repeatable
// output of the asked size and length, black opening frames, and a Ctrl-C that still
// leaves a playable video.
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "app/timeline_file.h"
#include "tests/tools/run_tool.h"

namespace {

ToolRun capture(const ToolDirectory& dir, const std::string& arguments) {
  return dir.run(TARNIX_CAPTURE_TOOL, arguments);
}

struct Image {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;
  bool black() const {
    for (uint8_t v : rgb)
      if (v != 0) return false;
    return true;
  }
};

Image readPng(const std::string& path) {
  Image result;
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    ADD_FAILURE() << "unreadable " << path;
    return result;
  }
  image.format = PNG_FORMAT_RGB;
  result.rgb.resize(PNG_IMAGE_SIZE(image));
  result.width = image.width;
  result.height = image.height;
  EXPECT_TRUE(png_image_finish_read(&image, nullptr, result.rgb.data(), 0, nullptr)) << path;
  return result;
}

// The size of a WAV file's data chunk, walking the chunks after "WAVE".
uint32_t wavDataBytes(const std::string& bytes) {
  size_t at = 12;
  while (at + 8 <= bytes.size()) {
    uint32_t size = 0;
    memcpy(&size, bytes.data() + at + 4, 4);
    if (bytes.compare(at, 4, "data") == 0) return size;
    at += 8 + size + (size & 1);
  }
  ADD_FAILURE() << "no data chunk";
  return 0;
}

bool haveFfmpeg() { return std::system("command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null") == 0; }

// "key=value" lines of ffprobe about one stream.
std::string probe(const ToolDirectory& dir, const std::string& file, const char* stream, const char* entries) {
  ToolRun run = dir.run("ffprobe", std::string("-v error -count_frames -select_streams ") + stream +
                                       " -show_entries stream=" + entries + " -of default=nw=1 " + file);
  EXPECT_EQ(run.status, 0) << run.err;
  return run.out;
}

double probeNumber(const std::string& text, const std::string& key) {
  size_t at = text.find(key + "=");
  if (at == std::string::npos) {
    ADD_FAILURE() << key << " missing in " << text;
    return -1;
  }
  return atof(text.c_str() + at + key.size() + 1);
}

constexpr uint32_t kStereoFloatBytes = 8;

TEST(CaptureRun, RepeatedCaptureIsByteIdenticalAtTheAskedSizeAndLength) {
  ToolDirectory dir;
  // Frames 500-503 are lit (the picture fades in from frame 440); the 500 before them are
  // simulated unwritten. The output size differs from the render size: letterboxed.
  const std::string options = "--from 500 --to 503 --render-size 32x18 --size 48x20 --out ";
  for (const char* out : {"a", "b"}) {
    ToolRun run = capture(dir, options + out);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("4 frames written"), std::string::npos) << run.err;
  }
  ASSERT_FALSE(dir.exists("a/frame_0499.png"));
  ASSERT_FALSE(dir.exists("a/frame_0504.png"));
  for (uint32_t frame = 500; frame <= 503; ++frame) {
    const std::string name = "/frame_0" + std::to_string(frame) + ".png";
    Image image = readPng(dir.path() + "/a" + name);
    EXPECT_EQ(image.width, 48u);
    EXPECT_EQ(image.height, 20u);
    EXPECT_FALSE(image.black()) << name;
    EXPECT_EQ(readWholeFile(dir.path() + "/a" + name), readWholeFile(dir.path() + "/b" + name)) << name;
  }
  const std::string music = readWholeFile(dir.path() + "/a/music.wav");
  EXPECT_EQ(wavDataBytes(music), 4u * 735u * kStereoFloatBytes);
  EXPECT_EQ(music, readWholeFile(dir.path() + "/b/music.wav"));

  // At 120 fps each timeline frame is held for two output frames: each picture is
  // written twice, and the next one differs.
  ToolRun fast = capture(dir, "--fps 120 --from 1000 --to 1005 --render-size 32x18 --out c");
  ASSERT_EQ(fast.status, 0) << fast.err;
  EXPECT_NE(fast.err.find("6 frames written"), std::string::npos) << fast.err;
  auto written = [&](uint32_t frame) { return readWholeFile(dir.path() + "/c/frame_" + std::to_string(frame) + ".png"); };
  for (uint32_t frame = 1000; frame <= 1004; frame += 2) {
    EXPECT_FALSE(readPng(dir.path() + "/c/frame_" + std::to_string(frame) + ".png").black()) << frame;
    EXPECT_EQ(written(frame), written(frame + 1)) << frame;
    if (frame > 1000) {
      EXPECT_NE(written(frame), written(frame - 1)) << frame;
    }
  }
  // Six frames of 367.5 music frames each.
  EXPECT_EQ(wavDataBytes(readWholeFile(dir.path() + "/c/music.wav")), 2205u * kStereoFloatBytes);
}

// A timeline file renders as the built-in timeline does when it holds the same timeline (the
// file is read as standard JSON, the built-in text by its own reader), and differently when
// it holds another.
TEST(CaptureRun, ATimelineFileRendersItsTimeline) {
  ToolDirectory dir;
  std::string message;
  ASSERT_TRUE(writeBuiltInTimelineFile(dir.path() + "/same.json", &message)) << message;
  std::string text = readWholeFile(dir.path() + "/same.json");
  const std::string key = "{\"frame\":439,\"easing\":\"Linear\",\"value\":0.000000}";
  ASSERT_NE(text.find(key), std::string::npos);
  text.replace(text.find(key), key.size(), "{\"frame\":439,\"easing\":\"Linear\",\"value\":0.5}");
  std::ofstream(dir.path() + "/other.json", std::ios::binary) << text;
  const std::string options = "--from 460 --to 461 --render-size 32x18 --out ";
  ASSERT_EQ(capture(dir, options + "built-in").status, 0);
  ToolRun same = capture(dir, "--timeline same.json " + options + "same");
  ASSERT_EQ(same.status, 0) << same.err;
  ASSERT_EQ(capture(dir, "--timeline other.json " + options + "other").status, 0);
  for (const char* frame : {"/frame_0460.png", "/frame_0461.png"}) {
    EXPECT_EQ(readWholeFile(dir.path() + "/same" + frame), readWholeFile(dir.path() + "/built-in" + frame)) << frame;
    EXPECT_NE(readWholeFile(dir.path() + "/other" + frame), readWholeFile(dir.path() + "/built-in" + frame)) << frame;
  }
}

TEST(CaptureRun, OpeningFramesAreBlackInBothForms) {
  ToolDirectory dir;
  ToolRun run = capture(dir, "--to 10 --render-size 32x18 --out frames");
  ASSERT_EQ(run.status, 0) << run.err;
  for (uint32_t frame = 0; frame <= 10; ++frame) {
    char name[32];
    snprintf(name, sizeof(name), "/frames/frame_%04u.png", frame);
    Image image = readPng(dir.path() + name);
    EXPECT_EQ(image.width, 32u);
    EXPECT_TRUE(image.black()) << frame;
  }
  EXPECT_FALSE(dir.exists("frames/frame_0011.png"));
  EXPECT_EQ(wavDataBytes(readWholeFile(dir.path() + "/frames/music.wav")), 11u * 735u * kStereoFloatBytes);

  if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  run = capture(dir, "--to 10 --fps 30000/1001 --render-size 32x18 --size 40x22 --out clip.mp4");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(dir.exists("clip.mp4.music.wav"));
  const std::string video = probe(dir, "clip.mp4", "v:0", "codec_name,pix_fmt,width,height,nb_read_frames");
  EXPECT_NE(video.find("codec_name=h264"), std::string::npos) << video;
  EXPECT_NE(video.find("pix_fmt=yuv420p"), std::string::npos) << video;
  EXPECT_EQ(probeNumber(video, "width"), 40);
  EXPECT_EQ(probeNumber(video, "height"), 22);
  EXPECT_EQ(probeNumber(video, "nb_read_frames"), 11);
  const std::string audio = probe(dir, "clip.mp4", "a:0", "codec_name,sample_rate,duration");
  EXPECT_NE(audio.find("codec_name=aac"), std::string::npos) << audio;
  EXPECT_EQ(probeNumber(audio, "sample_rate"), 44100);
  // AAC codes whole blocks of 1024 samples (23 ms).
  EXPECT_NEAR(probeNumber(audio, "duration"), 11 * 1001.0 / 30000.0, 0.03);
}

TEST(CaptureRun, InterruptLeavesAPlayableVideoOfTheFramesWritten) {
  if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  ToolDirectory dir;
  const std::string log = dir.path() + "/stderr";
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (chdir(dir.path().c_str()) != 0 || !freopen(log.c_str(), "w", stderr) || !freopen("/dev/null", "w", stdout))
      _exit(99);
    execl(TARNIX_CAPTURE_TOOL, TARNIX_CAPTURE_TOOL, "--to", "3000", "--render-size", "32x18", "--out",
          "stopped.mp4", nullptr);
    _exit(98);
  }
  // The progress line appears with the first frame written; stop a little later.
  for (int i = 0; i < 600 && readWholeFile(log).find("capturing") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);

  const std::string err = readWholeFile(log);
  const size_t at = err.find("stopped; ");
  ASSERT_NE(at, std::string::npos) << err;
  const long written = atol(err.c_str() + at + 9);
  EXPECT_GT(written, 0);
  EXPECT_LT(written, 3001);
  const std::string video = probe(dir, "stopped.mp4", "v:0", "nb_read_frames");
  EXPECT_EQ(probeNumber(video, "nb_read_frames"), double(written));
  EXPECT_FALSE(dir.exists("stopped.mp4.music.wav"));
}

}  // namespace
