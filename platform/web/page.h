#pragma once
// The web program's page (platform/web/page/page.js), as the program tells it what happens.
#include <cstdint>

// After every frame: the music renderer's state (0 created .. 3 streaming), the last timeline
// frame rendered, the music position the clock read, and the frames shown so far.
void pageStatus(uint32_t audioState, uint32_t frame, double musicSeconds, uint64_t framesShown);
// A captured frame's picture: width x height RGBA pixels, rows top to bottom.
void pageFrame(uint32_t frame, const uint8_t* pixels, uint32_t width, uint32_t height);
// The synthesised piece: count interleaved float samples (left, right).
void pageMusic(const float* samples, uint32_t count);
// The end of the run: what it showed.
void pageEnded(uint64_t framesShown, uint32_t lastFrame, double musicSeconds);
