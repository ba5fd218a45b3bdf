#include "tools/capture/capture_output.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint16_t kChannels = 2;

std::string sizeText(uint32_t w, uint32_t h) { return std::to_string(w) + "x" + std::to_string(h); }

bool isMp4(const CaptureOutputState& state) { return state.options.output == CaptureOutput::Mp4; }

std::string temporaryAudioPath(const CaptureOptions& options) { return options.out + ".music.wav"; }

bool writeMusic(CaptureOutputState& state, uint32_t frames, std::string* error) {
  // The first frames of the range may all have been skipped by a stop: an empty WAV is
  // still a valid, playable file.
  uint64_t stereoFrames = musicSampleAtFrame(state.options.fromFrame + frames, state.options.fps) -
                          musicSampleAtFrame(state.options.fromFrame, state.options.fps);
  WavLayout layout;
  if (!makeWavLayout(WavSampleFormat::Float32, kChannels, kMusicSampleRate, uint32_t(stereoFrames), &layout)) {
    *error = "the music of the range does not fit a WAV file";
    return false;
  }
  return finishWavFile(state.music, layout, state.samples.data(), nullptr, nullptr, error);
}

// Opens the file for appending (nothing of an existing file is lost) to learn early
// whether it can be written; a file that was not there before is removed again.
bool probeWritable(const std::string& path, std::string* error) {
  FILE* existing = fopen(path.c_str(), "rb");
  if (existing) fclose(existing);
  FILE* file = fopen(path.c_str(), "ab");
  if (!file) {
    *error = "cannot write '" + path + "': " + strerror(errno);
    return false;
  }
  fclose(file);
  if (!existing) removeFile(path);
  return true;
}

bool writePng(const std::string& path, const uint8_t* rgb, uint32_t w, uint32_t h) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = w;
  image.height = h;
  image.format = PNG_FORMAT_RGB;
  return png_image_write_to_file(&image, path.c_str(), 0, rgb, 0, nullptr) != 0;
}

}  // namespace

std::vector<std::string> encoderCommand(const std::string& ffmpeg, const CaptureOptions& o,
                                        const std::string& audioPath) {
  return {ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
          // The frames, exactly as rendered.
          "-f", "rawvideo", "-pix_fmt", "rgba", "-s", sizeText(o.outputWidth, o.outputHeight), "-framerate",
          std::to_string(o.fps.numerator) + "/" + std::to_string(o.fps.denominator), "-i", "pipe:0",
          // The music of the same range.
          "-i", audioPath, "-map", "0:v:0", "-map", "1:a:0",
          "-c:v", "libx264", "-preset", "medium", "-crf", "18", "-pix_fmt", "yuv420p",
          "-c:a", "aac", "-b:a", "192k",
          // A stopped capture has fewer frames than the music it was given.
          "-shortest", "-movflags", "+faststart", o.out};
}

std::vector<float> musicForFrames(const float* music, uint64_t musicFrames, uint32_t first, uint32_t count,
                                  FrameRate fps) {
  uint64_t begin = musicSampleAtFrame(first, fps);
  uint64_t end = musicSampleAtFrame(first + count, fps);
  std::vector<float> samples(size_t(end - begin) * kChannels, 0.0f);
  if (begin < musicFrames) {
    uint64_t available = std::min(end, musicFrames) - begin;
    std::copy(music + begin * kChannels, music + (begin + available) * kChannels, samples.begin());
  }
  return samples;
}

bool prepareCaptureOutput(CaptureOutputState& state, const CaptureOptions& options, std::string* error) {
  state.options = options;
  std::string musicPath;
  if (isMp4(state)) {
    if (findProgramOnPath("ffmpeg").empty()) {
      *error = "an .mp4 output needs ffmpeg, which is not installed (apt-get install ffmpeg), "
               "or give a directory as --out for PNG files and a WAV";
      return false;
    }
    if (!probeWritable(options.out, error)) return false;
    musicPath = temporaryAudioPath(options);
  } else {
    if (!makeDirectories(options.out, error)) return false;
    musicPath = musicWavPath(options.out);
  }
  // Claiming the WAV also proves the directory can be written to.
  return beginWavFile(state.music, musicPath.c_str(), error);
}

void startCaptureOutput(CaptureOutputState& state, const float* music, uint64_t musicFrames) {
  const CaptureOptions& o = state.options;
  state.samples = musicForFrames(music, musicFrames, o.fromFrame, o.toFrame - o.fromFrame + 1, o.fps);
}

namespace {

// With the first frame: the music of the whole range, then the encoder reading it.
bool startEncoder(CaptureOutputState& state, std::string* error) {
  const CaptureOptions& o = state.options;
  if (!writeMusic(state, o.toFrame - o.fromFrame + 1, error)) return false;
  if (!startChildProcess(state.encoder, encoderCommand(findProgramOnPath("ffmpeg"), o, state.music.path), error)) {
    removeFile(state.music.path);
    return false;
  }
  return true;
}

}  // namespace

bool writeCaptureFrame(CaptureOutputState& state, uint32_t frame, const uint8_t* rgba, std::string* error) {
  const CaptureOptions& o = state.options;
  const size_t pixels = size_t(o.outputWidth) * o.outputHeight;
  if (isMp4(state)) {
    if (state.encoder.pid < 0 && !startEncoder(state, error)) return false;
    if (!writeToChild(state.encoder, rgba, pixels * 4)) {
      *error = "ffmpeg stopped taking frames (see its message above)";
      return false;
    }
  } else {
    state.rgb.resize(pixels * 3);
    for (size_t i = 0; i < pixels; ++i) {
      state.rgb[i * 3 + 0] = rgba[i * 4 + 0];
      state.rgb[i * 3 + 1] = rgba[i * 4 + 1];
      state.rgb[i * 3 + 2] = rgba[i * 4 + 2];
    }
    std::string path = pngFramePath(o.out, frame);
    if (!writePng(path, state.rgb.data(), o.outputWidth, o.outputHeight)) {
      *error = "cannot write '" + path + "'";
      return false;
    }
  }
  ++state.framesWritten;
  return true;
}

bool finishCaptureOutput(CaptureOutputState& state, std::string* error) {
  if (!isMp4(state)) return writeMusic(state, state.framesWritten, error);
  if (state.encoder.pid < 0) {
    // Stopped before the first frame: no video, and no temporary music left behind.
    abandonWavFile(state.music);
    return true;
  }
  int status = finishChildProcess(state.encoder);
  removeFile(state.music.path);
  if (status != 0) {
    *error = "ffmpeg failed (exit status " + std::to_string(status) + ") writing '" + state.options.out + "'";
    return false;
  }
  return true;
}
