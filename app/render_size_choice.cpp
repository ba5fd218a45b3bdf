#include "app/render_size_choice.h"

#include <cstdio>

#include "shaders/ParticleConfig.h"

namespace {

// After a size is set, frames that do not count: the first renders into new textures.
constexpr uint32_t kWarmUpFrames = 2;
// How long a size is measured: long enough for a dozen frames at the rate wanted, short enough
// that the walk up the ladder ends well before the first scene lights up (frame 439, 7.3 s).
constexpr double kWindowMs = 400.0;

std::string sizeText(RenderSize size) { return std::to_string(size.width) + "x" + std::to_string(size.height); }

std::string rateText(double framesPerSecond) {
  char text[32];
  snprintf(text, sizeof(text), "%.0f", framesPerSecond);
  return text;
}

bool fastEnough(double framesPerSecond) { return framesPerSecond >= kChosenFramesPerSecond; }

// A new size from the next frame on, measured from scratch.
ChoiceStep moveTo(RenderSizeChoice& c, uint32_t rung) {
  c.rung = rung;
  c.framesAtRung = 0;
  c.framesInWindow = 0;
  return {true, c.ladder[rung], false, {}};
}

ChoiceStep settle(RenderSizeChoice& c, uint32_t rung, ChoicePhase next, std::string say) {
  ChoiceStep step = rung != c.rung ? moveTo(c, rung) : ChoiceStep{};
  c.phase = next;
  step.decided = true;
  step.say = std::move(say);
  return step;
}

// Over the first frames: up the ladder while the size keeps the rate, then the largest that did.
ChoiceStep walkUp(RenderSizeChoice& c) {
  const uint32_t r = c.rung;
  const double rate = c.measured[r];
  if (fastEnough(rate) && r > 0) return moveTo(c, r - 1);
  if (fastEnough(rate)) {
    return settle(c, r, ChoicePhase::Chosen,
                  "rendering at " + sizeText(c.ladder[r]) + ", the program's own size: " + rateText(rate) +
                      " pictures a second here");
  }
  if (r + 1 < c.ladder.count && fastEnough(c.measured[r + 1])) {
    return settle(c, r + 1, ChoicePhase::Chosen,
                  "rendering at " + sizeText(c.ladder[r + 1]) + ", the largest size that keeps " +
                      rateText(kChosenFramesPerSecond) + " pictures a second here (" +
                      rateText(c.measured[r + 1]) + "; " + sizeText(c.ladder[r]) + " gave " + rateText(rate) + ")");
  }
  return settle(c, r, ChoicePhase::Chosen,
                "rendering at " + sizeText(c.ladder[r]) + ", the smallest size tried: " + rateText(rate) +
                    " pictures a second here, fewer than " + rateText(kChosenFramesPerSecond));
}

// Over the second scene's first frames: down the ladder while the size is too slow there.
ChoiceStep walkDown(RenderSizeChoice& c) {
  const uint32_t r = c.rung;
  const double rate = c.measured[r];
  if (!fastEnough(rate) && r + 1 < c.ladder.count) {
    ChoiceStep step = moveTo(c, r + 1);
    step.decided = true;
    step.say = "the second scene: rendering at " + sizeText(c.ladder[r + 1]) + " (" + sizeText(c.ladder[r]) +
               " gave " + rateText(rate) + " pictures a second there)";
    return step;
  }
  c.phase = ChoicePhase::Done;
  return {};
}

}  // namespace

FixedArray<RenderSize, kLadderRungs> renderSizeLadder(RenderSize own) {
  FixedArray<RenderSize, kLadderRungs> ladder;
  ladder.push(own);
  // Divisors made of twos and threes, in rising order.
  for (uint32_t d = 2; d <= own.height / kSmallestRungHeight && ladder.count < kLadderRungs; ++d) {
    uint32_t rest = d;
    while (rest % 2 == 0) rest /= 2;
    while (rest % 3 == 0) rest /= 3;
    if (rest != 1 || own.width % d != 0 || own.height % d != 0 || (own.width / d) % 32 != 0) continue;
    ladder.push(RenderSize{own.width / d, own.height / d});
  }
  return ladder;
}

RenderSizeChoice startRenderSizeChoice(RenderSize own) {
  RenderSizeChoice c;
  c.ladder = renderSizeLadder(own);
  c.rung = c.ladder.count - 1;
  for (double& rate : c.measured) rate = 0.0;
  return c;
}

ChoiceStep renderSizeAfterFrame(RenderSizeChoice& c, double frameEndMs, uint32_t timelineFrame) {
  if (c.phase == ChoicePhase::Done) return {};
  if (c.phase == ChoicePhase::Chosen) {
    if (timelineFrame < kSceneSetUpFrame) return {};
    // The second scene costs more per frame: its rates are measured anew.
    c.phase = ChoicePhase::SecondScene;
    for (double& rate : c.measured) rate = 0.0;
    c.framesAtRung = 0;
    c.framesInWindow = 0;
  }
  c.framesAtRung += 1;
  if (c.framesAtRung <= kWarmUpFrames) {
    c.windowStartMs = frameEndMs;
    return {};
  }
  c.framesInWindow += 1;
  const double elapsedMs = frameEndMs - c.windowStartMs;
  if (elapsedMs < kWindowMs) return {};
  c.measured[c.rung] = double(c.framesInWindow) * 1000.0 / elapsedMs;
  return c.phase == ChoicePhase::FirstFrames ? walkUp(c) : walkDown(c);
}
