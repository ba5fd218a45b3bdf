#pragma once
// Drives the presentation offscreen, at a small render size, with a fixed clock and a
// sound device that plays nothing, and reads back what it drew.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "app/frame_passes.h"
#include "app/presentation.h"
#include "gpu/render_app.h"
#include "platform/gfx.h"
#include "platform/wave_out.h"
#include "tests/support/gpu_readback.h"
#include "tests/support/gpu_test.h"
#include "timeline/timeline.h"

inline PresentationOptions smallOffscreenOptions(uint32_t width = 64, uint32_t height = 36) {
  PresentationOptions options;
  options.renderWidth = width;
  options.renderHeight = height;
  options.offscreen = true;
  options.fixedClock = true;
  options.waveOut = silentWaveOutApi();
  return options;
}

// A texture's texels, rows tightly packed, read back in a frame of its own.
inline std::vector<uint8_t> readTexture(GpuTexture& texture) { return readBackTexture(texture); }

// The back buffer the last frame was presented from, as R, G, B, A bytes.
inline std::vector<uint8_t> readPresentedFrame(const Presentation& p) {
  std::vector<uint8_t> pixels(size_t(renderApp.width) * renderApp.height * 4);
  EXPECT_EQ(renderApp.swapChain->ReadBackBuffer(p.lastFrame.backBufferIndex, pixels.data(),
                                                renderApp.width * 4),
            gfx::kOk);
  return pixels;
}

inline bool allBlack(const std::vector<uint8_t>& rgba) {
  for (size_t i = 0; i < rgba.size(); i += 4)
    if (rgba[i] != 0 || rgba[i + 1] != 0 || rgba[i + 2] != 0 || rgba[i + 3] != 255) return false;
  return true;
}

// Half floats whose exponent is all ones: infinities and NaNs.
inline size_t nonFiniteHalves(const std::vector<uint8_t>& texels) {
  size_t count = 0;
  for (size_t i = 0; i + 1 < texels.size(); i += 2) {
    uint16_t bits = uint16_t(texels[i] | (texels[i + 1] << 8));
    if ((bits & 0x7C00) == 0x7C00) ++count;
  }
  return count;
}

// 32-bit floats whose exponent is all ones.
inline size_t nonFiniteFloats(const std::vector<uint8_t>& texels) {
  size_t count = 0;
  for (size_t i = 0; i + 3 < texels.size(); i += 4) {
    uint32_t bits;
    memcpy(&bits, &texels[i], 4);
    if ((bits & 0x7F800000u) == 0x7F800000u) ++count;
  }
  return count;
}

// Moves a presentation on the fixed 60 Hz clock ahead to timeline frame `frame`, as if
// the music had got there: the next rendered frame shows it, the ones after it follow
// one by one. Call it after a rendered frame.
inline void jumpToFrame(Presentation& p, uint32_t frame) {
  p.simulation.data.frame = frame;
  p.fixedTicks = frame;
}

// Holds one key from frame 0 on a track of the loaded timeline (its later keys removed).
inline void holdUint(Presentation& p, const char* track, uint32_t value) {
  Track* t = findTrack(p.timeline, track);
  ASSERT_NE(t, nullptr) << track;
  for (uint32_t f = 1; f < t->keys.count; ++f) {
    delete t->keys[f];
    t->keys[f] = nullptr;
  }
  setUintKey(p.timeline, track, 0, &value, 0);
}

// A running presentation, shut down at the end of the test; validation on throughout.
struct PresentationTest : ::testing::Test {
  std::unique_ptr<ValidationScope> validation;
  std::unique_ptr<Presentation> presentation = std::make_unique<Presentation>();
  Presentation& p = *presentation;

  void start(const PresentationOptions& options = smallOffscreenOptions()) {
    validation = std::make_unique<ValidationScope>();
    startPresentation(p, options);
  }
  void TearDown() override {
    shutdownPresentation(p);
    validation.reset();
  }
  // Frames until the first one with the passes recorded; returns how many came before it.
  int runUntilPassesRecorded(int limit = 10) {
    for (int i = 0; i < limit; ++i) {
      runFrame(p);
      if (p.lastFrame.passesRecorded) return i;
    }
    ADD_FAILURE() << "the music never became ready";
    return limit;
  }
};
