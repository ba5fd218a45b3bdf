#pragma once
// When a picture the music clock chooses will be seen. Its timeline frame is chosen a while
// before the picture reaches the screen: the frame is recorded, waits behind the frames in
// flight, runs on the GPU and is presented. Every presented frame measures that while, from
// the choice to the moment the GPU was first seen past the frame's present; the lower quartile
// of the last few is the delay the clock expects (a sample is seen late, never early). A picture then stays until the next one replaces
// it, so the clock chooses each for the middle of its time on screen: the music heard now,
// plus the delay, plus half the time between pictures. Not so for a loop faster than the
// music: it holds each index until the music reaches the next, which centres it already; the
// half interval counts for the share of pictures that came without a hold.
//
// Pure arithmetic: the frame loop supplies the counter, the frame numbers and the GPU's progress.
// A zeroed record is an empty one.
#include <cstdint>

inline constexpr uint32_t kPictureSamples = 15;   // the running measure: the last 15 pictures
inline constexpr uint32_t kPicturesInFlight = 8;  // presented, not yet seen past; more are dropped

struct PictureTiming {
  struct Presented {
    uint64_t frames;  // the frame counter once this frame was ended
    double chosenMs;  // the counter when its index was chosen
  };
  Presented inFlight[kPicturesInFlight];
  uint32_t inFlightCount;
  double delaysMs[kPictureSamples];  // from the choice to the screen, a ring
  uint32_t delayCount;               // all ever measured
  double intervalsMs[kPictureSamples];  // between two presented pictures, a ring
  uint32_t intervalCount;
  double afterHolds[kPictureSamples];  // 1 for a picture whose index the loop held before, a ring
  uint32_t afterHoldCount;
  uint64_t presentedCount;
  double lastPresentedMs;
};

// A frame with passes was presented at presentedMs: `frames` counts the frames ended with it,
// its index was chosen at chosenMs, after a hold or not.
void picturePresented(PictureTiming& timing, uint64_t frames, double chosenMs, double presentedMs, bool afterHold);

// At nowMs the GPU is past the first `framesFinished` frames ended (gpu/render_app.h): the
// pictures among them are on screen by now.
void picturesFinished(PictureTiming& timing, uint64_t framesFinished, double nowMs);

// How far after the music heard now the next picture should be chosen for, in seconds: the
// delay to the screen and the centring above; 0 until a picture was seen.
double pictureLeadSeconds(const PictureTiming& timing);
