// tarnix-capture without rendering: the command line, the frame-to-music arithmetic,
// and the errors that must come before any GPU work.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "base/version.h"
#include "tests/tools/run_tool.h"
#include "tools/capture/capture_options.h"
#include "tools/capture/capture_output.h"
#include "tools/capture/frame_writer.h"

namespace {

ParseResult parse(std::vector<const char*> args, CaptureOptions* options, std::string* error) {
  args.insert(args.begin(), "tarnix-capture");
  return parseCaptureOptions(int(args.size()), args.data(), options, error);
}

TEST(CaptureOptions, DefaultsSecondsAndFractionalRates) {
  CaptureOptions o;
  std::string error;
  ASSERT_EQ(parse({}, &o, &error), ParseResult::Ok);
  EXPECT_EQ(o.fromFrame, 0u);
  EXPECT_EQ(o.toFrame, 7400u);
  EXPECT_EQ(o.fps.perSecond(), 60.0);
  EXPECT_EQ(o.outputWidth, 960u);
  EXPECT_EQ(o.outputHeight, 540u);
  EXPECT_EQ(o.output, CaptureOutput::PngSequence);

  // Seconds are converted at the rate given, wherever --fps stands.
  ASSERT_EQ(parse({"--from", "10s", "--to=20.5s", "--fps", "30000/1001", "--render-size", "1920x1080", "--out",
                   "clip.MP4"},
                  &o, &error),
            ParseResult::Ok)
      << error;
  EXPECT_EQ(o.fromFrame, 300u);  // 10 x 29.97 = 299.7
  EXPECT_EQ(o.toFrame, 614u);    // 20.5 x 29.97 = 614.4
  EXPECT_EQ(o.outputWidth, 1920u);
  EXPECT_EQ(o.output, CaptureOutput::Mp4);
  EXPECT_EQ(o.lookHeight, 0u);  // by the render height

  ASSERT_EQ(parse({"--render-size", "256x144", "--look-height", "1080"}, &o, &error), ParseResult::Ok) << error;
  EXPECT_EQ(o.lookHeight, 1080u);

  ASSERT_EQ(parse({"--size", "1280x720"}, &o, &error), ParseResult::Ok);
  EXPECT_EQ(o.renderWidth, 960u);
  EXPECT_EQ(o.outputWidth, 1280u);
  EXPECT_EQ(parse({"--fps", "24", "--help"}, &o, &error), ParseResult::Help);

  ASSERT_EQ(parse({"--list-devices", "--device=swift", "--render-size", "1920x1080"}, &o, &error), ParseResult::Ok);
  EXPECT_TRUE(o.listDevices);
  EXPECT_EQ(o.device, "swift");
  EXPECT_EQ(o.renderWidth, 1920u);
}

TEST(CaptureOptions, BadValuesAreRefusedWithTheReason) {
  struct Case {
    std::vector<const char*> args;
    const char* reason;
  };
  const Case cases[] = {
      {{"--to", "7401"}, "not within frames 0-7400"},
      {{"--from", "200s"}, "not within frames 0-7400"},  // 12000 at 60 fps
      {{"--from", "20", "--to", "10"}, "not within frames 0-7400"},
      {{"--from", "-1"}, "--from '-1'"},
      {{"--to", "1e3"}, "--to '1e3'"},
      {{"--fps", "0"}, "--fps '0'"},
      {{"--fps", "29.97"}, "--fps '29.97'"},
      {{"--render-size", "1000x540"}, "multiple of 32"},
      {{"--look-height", "0"}, "--look-height '0' is not a height"},
      {{"--look-height", "540x"}, "--look-height '540x' is not a height"},
      {{"--size", "0x540"}, "--size '0x540'"},
      {{"--size", "641x360", "--out", "a.mp4"}, "even width and height"},
      {{"--out="}, "needs a path"},
      {{"--device="}, "--device needs a device's number or part of its name"},
      {{"--device"}, "option '--device' needs a value"},
      {{"--speed", "2"}, "unknown option '--speed'"},
  };
  for (const Case& c : cases) {
    CaptureOptions o;
    std::string error;
    EXPECT_EQ(parse(c.args, &o, &error), ParseResult::Error) << c.reason;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
  // An odd size is fine for PNG files.
  CaptureOptions o;
  std::string error;
  EXPECT_EQ(parse({"--size", "641x361", "--out", "frames"}, &o, &error), ParseResult::Ok);
}

TEST(CaptureOptions, TheRangeEndsWhereThePresentationEndsAtTheRateAndClockGiven) {
  CaptureOptions o;
  std::string error;
  ASSERT_EQ(parse({"--fps", "30"}, &o, &error), ParseResult::Ok) << error;
  EXPECT_EQ(o.clock, FrameClockMode::Music);
  EXPECT_EQ(o.toFrame, 3700u) << "timeline frame 7400 at 123.3 s";
  ASSERT_EQ(parse({"--fps", "120", "--from", "100s"}, &o, &error), ParseResult::Ok) << error;
  EXPECT_EQ(o.fromFrame, 12000u);
  EXPECT_EQ(o.toFrame, 14801u);
  ASSERT_EQ(parse({"--fps", "30", "--clock", "refresh"}, &o, &error), ParseResult::Ok) << error;
  EXPECT_EQ(o.clock, FrameClockMode::Refresh);
  EXPECT_EQ(o.toFrame, 7400u);

  EXPECT_EQ(parse({"--fps", "30", "--to", "3701"}, &o, &error), ParseResult::Error);
  EXPECT_NE(error.find("not within frames 0-3700"), std::string::npos) << error;
  EXPECT_EQ(parse({"--clock", "vsync"}, &o, &error), ParseResult::Error);
  EXPECT_EQ(error, "--clock 'vsync' is not music or refresh");
}

TEST(CaptureTimeline, OutputFramesFollowTheMusicAtEveryRate) {
  // 60 fps: output frame n is timeline frame n, as a 60 Hz display shows it.
  std::vector<uint32_t> frames = timelineFramesOfCapture(FrameRate{60, 1}, FrameClockMode::Music);
  ASSERT_EQ(frames.size(), 7401u);
  for (uint32_t n = 0; n < frames.size(); ++n) ASSERT_EQ(frames[n], n);

  // 30 fps: every other frame, and the two the particle simulation cannot miss.
  frames = timelineFramesOfCapture(FrameRate{30, 1}, FrameClockMode::Music);
  ASSERT_EQ(frames.size(), 3701u);
  for (uint32_t n = 0; n < frames.size(); ++n) {
    if (n == 1628) continue;
    ASSERT_EQ(frames[n], 2 * n) << n;
  }
  EXPECT_EQ(frames[1627], 3254u);
  EXPECT_EQ(frames[1628], 3255u) << "instead of 3256";

  // 120 fps: each frame twice.
  frames = timelineFramesOfCapture(FrameRate{120, 1}, FrameClockMode::Music);
  ASSERT_EQ(frames.size(), 14802u);
  for (uint32_t n = 0; n < frames.size(); ++n) ASSERT_EQ(frames[n], n / 2) << n;

  // An NTSC rate and a very low one still end on frame 7400 and keep every event frame.
  for (FrameRate fps : {FrameRate{60000, 1001}, FrameRate{7, 1}}) {
    frames = timelineFramesOfCapture(fps, FrameClockMode::Music);
    EXPECT_EQ(frames.back(), 7400u);
    for (uint32_t event : {3254u, 3255u})
      EXPECT_NE(std::find(frames.begin(), frames.end(), event), frames.end()) << event << " at " << fps.perSecond();
    EXPECT_TRUE(std::is_sorted(frames.begin(), frames.end()));
  }

  // The refresh clock: frame n at any rate.
  frames = timelineFramesOfCapture(FrameRate{30, 1}, FrameClockMode::Refresh);
  ASSERT_EQ(frames.size(), 7401u);
  EXPECT_EQ(frames[1234], 1234u);
}

TEST(CaptureMusic, FramesMeetTheMusicWithoutDriftAndPastItsEnd) {
  const FrameRate ntsc{60000, 1001};
  EXPECT_EQ(musicSampleAtFrame(60000, ntsc), 44100u * 1001u);  // no accumulated rounding
  EXPECT_EQ(musicSampleAtFrame(1, ntsc), 735u);                // 735.735 rounded down
  EXPECT_EQ(musicSampleAtFrame(7401, FrameRate{60, 1}), 7401u * 735u);

  // Ten stereo frames of music; 60 fps at 44100 would need 735 per output frame, so use
  // a rate that makes frames short: 44100 / 4410 = 10 samples per output frame.
  std::vector<float> music(20);
  for (size_t i = 0; i < music.size(); ++i) music[i] = float(i + 1);
  const FrameRate fast{4410, 1};
  std::vector<float> middle = musicForFrames(music.data(), 10, 0, 1, fast);
  EXPECT_EQ(middle, std::vector<float>(music.begin(), music.end()));
  // The second output frame lies after the piece: silence, not a read past the buffer.
  std::vector<float> tail = musicForFrames(music.data(), 10, 0, 2, fast);
  ASSERT_EQ(tail.size(), 40u);
  EXPECT_EQ(tail[19], 20.0f);
  EXPECT_EQ(tail[20], 0.0f);
  EXPECT_EQ(tail[39], 0.0f);
  EXPECT_EQ(musicForFrames(music.data(), 10, 3, 1, fast), std::vector<float>(20, 0.0f));
}

// The tool itself, for the errors that stop it before the device is opened.
ToolRun capture(const ToolDirectory& dir, const std::string& arguments) {
  return dir.run(TARNIX_CAPTURE_TOOL, arguments);
}

// A timeline file that cannot be used is reported as tarnix reports it, before the output
// is made or anything rendered; a good one is taken.
TEST(CaptureCli, UnusableTimelineFileComesFirst) {
  ToolDirectory dir;
  {
    std::ofstream bad(dir.path() + "/bad.json");
    bad << "{\"CM::Fov\":{\"type\":\"FLOAT\",\"frames\":[{\"frame\":0,\"easing\":\"None\",\"value\":\"wide\"}]}}";
  }
  ToolRun run = capture(dir, "--timeline bad.json --out frames");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "bad.json:1:73: the value of a FLOAT key is a string, not a number\n");
  EXPECT_FALSE(dir.exists("frames"));
  run = capture(dir, "--timeline none.json --out frames");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "none.json: No such file or directory\n");
  EXPECT_EQ(capture(dir, "--timeline").status, 2);
}

TEST(CaptureCli, ErrorsComeBeforeAnyRendering) {
  ToolDirectory dir;
  ToolRun help = capture(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("without writing them"), std::string::npos);
  ToolRun version = capture(dir, "--fps 30 --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("tarnix-capture ") + kTarnixVersion + "\n");

  ToolRun range = capture(dir, "--from 7000 --to 7401 --out frames");
  EXPECT_EQ(range.status, 2);
  EXPECT_NE(range.err.find("not within frames 0-7400"), std::string::npos) << range.err;
  EXPECT_FALSE(dir.exists("frames"));

  // A directory that cannot be made (its parent is a file), and one that is not writable
  // as a whole: one line each, nothing rendered.
  ASSERT_EQ(std::system(("touch '" + dir.path() + "/file'").c_str()), 0);
  ToolRun underFile = capture(dir, "--out file/frames");
  EXPECT_EQ(underFile.status, 1);
  EXPECT_EQ(underFile.err, "tarnix-capture: cannot create directory 'file/frames': Not a directory\n");
  EXPECT_EQ(underFile.out, "");
  ToolRun video = capture(dir, "--out missing/video.mp4");
  EXPECT_EQ(video.status, 1);
  EXPECT_EQ(video.err, "tarnix-capture: cannot write 'missing/video.mp4': No such file or directory\n");

  // Without ffmpeg on PATH an .mp4 is refused up front.
  const std::string path = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", "/nonexistent", 1);
  ToolRun noEncoder = capture(dir, "--out v.mp4");
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(noEncoder.status, 1);
  EXPECT_NE(noEncoder.err.find("needs ffmpeg, which is not installed"), std::string::npos) << noEncoder.err;
  EXPECT_FALSE(dir.exists("v.mp4"));
}

// The writer thread writes every frame handed over, in order, and reports the first frame it
// could not write: the renderer learns of it at its next hand-over, and nothing after it is
// written.
TEST(CaptureWriter, WritesInOrderAndStopsAtTheFirstFailure) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("tarnix-writer-" + std::to_string(getpid()));
  fs::remove_all(dir);
  CaptureOptions o;
  std::string error;
  ASSERT_EQ(parse({"--render-size", "32x18", "--out", dir.c_str()}, &o, &error), ParseResult::Ok) << error;
  CaptureOutputState output;
  ASSERT_TRUE(prepareCaptureOutput(output, o, &error)) << error;
  std::vector<float> music(44100 * 2, 0.0f);
  startCaptureOutput(output, music.data(), 44100);
  std::vector<uint8_t> frame(32 * 18 * 4, 128);
  {
    FrameWriter writer(output);
    for (uint32_t n = 0; n < 5; ++n) ASSERT_TRUE(writer.push(n, frame, &error)) << error;
    ASSERT_TRUE(writer.finish(&error)) << error;
  }
  EXPECT_EQ(output.framesWritten, 5u);
  for (uint32_t n = 0; n < 5; ++n) EXPECT_TRUE(fs::exists(pngFramePath(dir.string(), n))) << n;

  fs::remove_all(dir);  // every later frame fails
  FrameWriter writer(output);
  bool refused = false;
  for (uint32_t n = 5; n < 5 + 3 * FrameWriter::kFramesWaiting && !refused; ++n) refused = !writer.push(n, frame, &error);
  std::string finishError;
  EXPECT_FALSE(writer.finish(&finishError));
  EXPECT_NE(finishError.find("cannot write"), std::string::npos) << finishError;
  EXPECT_EQ(output.framesWritten, 5u);
}

}  // namespace
