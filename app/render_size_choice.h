#pragma once
// A render size chosen for the machine. On a CPU device the program's own size shows about a
// picture a second, so unless a size is given the presentation renders at the largest size of a
// short ladder (the program's own size, then its halves and thirds) that keeps
// kChosenFramesPerSecond. The rates are measured on the running presentation: over its first
// frames (the picture is black then, so trying sizes shows nothing), walking up the ladder
// from the smallest size, and again over the first frames of the second scene, walking down
// when that scene is too slow at the size chosen. The size never changes in the middle of a
// scene, where it would restart the temporal history.
//
// This is the arithmetic alone, fed with frame times; app/frame_loop.cpp applies the sizes.
#include <cstdint>
#include <string>

#include "base/containers.h"

inline constexpr double kChosenFramesPerSecond = 30.0;

struct RenderSize {
  uint32_t width = 0, height = 0;
  bool operator==(const RenderSize&) const = default;
};

// The ladder from the program's own size down: own / d for d = 1, 2, 3, 4, 6, 8, 9, 12, ...
// (halves and thirds), every width a multiple of 32 and every side whole, largest first, down
// to sides of kSmallestRung.
inline constexpr uint32_t kLadderRungs = 8;
inline constexpr uint32_t kSmallestRungHeight = 36;
FixedArray<RenderSize, kLadderRungs> renderSizeLadder(RenderSize own);

enum class ChoicePhase : uint8_t {
  FirstFrames,  // walking up the ladder over the first frames
  Chosen,       // a size is chosen; the next look is at the second scene
  SecondScene,  // walking down over the second scene's first frames
  Done,
};

struct RenderSizeChoice {
  FixedArray<RenderSize, kLadderRungs> ladder;
  uint32_t rung = 0;              // the ladder's index now rendered
  double measured[kLadderRungs];  // frames per second measured at each rung (0: not measured)
  ChoicePhase phase = ChoicePhase::FirstFrames;
  uint32_t framesAtRung = 0;      // rendered since the size was set
  double windowStartMs = 0.0;     // the measuring window's start (a frame's end)
  uint32_t framesInWindow = 0;
};

// What the frame loop does after a rendered frame.
struct ChoiceStep {
  bool resize = false;  // render at `size` from the next frame on
  RenderSize size;
  bool decided = false;  // a choice was made now: `say` is the line to print
  std::string say;
};

// Starts at the ladder's smallest size.
RenderSizeChoice startRenderSizeChoice(RenderSize own);

// After every rendered frame: its end on the counter and the timeline frame it showed.
ChoiceStep renderSizeAfterFrame(RenderSizeChoice& choice, double frameEndMs, uint32_t timelineFrame);
