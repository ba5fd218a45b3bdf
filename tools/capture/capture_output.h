#pragma once
// Where the captured frames go: numbered PNG files plus the music as a WAV in a
// directory, or raw RGBA frames piped into ffmpeg, which encodes one MP4 with the music.
//
// Both forms claim their files before any frame is rendered, so an unwritable path is
// reported at once; both end with playable output of the frames written so far, also
// when the capture is stopped early.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/capture/capture_options.h"
#include "tools/capture/platform/capture_os.h"
#include "tools/music/wav_writer.h"

struct CaptureOutputState {
  CaptureOptions options;
  WavFile music;              // directory: music.wav; mp4: a temporary next to the video
  std::vector<float> samples;  // the music of the whole range, interleaved stereo
  ChildProcess encoder;
  std::vector<uint8_t> rgb;  // one frame without alpha, for the PNG writer
  uint32_t framesWritten = 0;
};

// The ffmpeg command line for an .mp4 output (argv[0] is the program's path).
std::vector<std::string> encoderCommand(const std::string& ffmpeg, const CaptureOptions& options,
                                        const std::string& audioPath);

// The music heard during output frames [first, first + count): interleaved stereo,
// silence where the piece has already ended. `music` holds musicFrames stereo frames.
std::vector<float> musicForFrames(const float* music, uint64_t musicFrames, uint32_t first, uint32_t count,
                                  FrameRate fps);

// Checks the output path (creating the directory of the directory form), finds ffmpeg
// for an .mp4 and claims the music file. Before any rendering.
bool prepareCaptureOutput(CaptureOutputState& state, const CaptureOptions& options, std::string* error);

// Once the music is in memory: keeps the music of the range.
void startCaptureOutput(CaptureOutputState& state, const float* music, uint64_t musicFrames);

// One frame of outputWidth x outputHeight RGBA bytes, rows packed top to bottom. The first
// frame of an .mp4 writes the range's music and starts the encoder.
bool writeCaptureFrame(CaptureOutputState& state, uint32_t frame, const uint8_t* rgba, std::string* error);

// Finishes the files: the WAV of the frames written, or the encoder's end of file.
bool finishCaptureOutput(CaptureOutputState& state, std::string* error);
