// The calls into the page's hooks (TarnixWeb.page in web_platform.js, set by page.js).
#include "platform/web/page.h"

#include <emscripten.h>

namespace {

// clang-format off
EM_JS(void, webPageStatus, (int audioState, int frame, double musicSeconds, double framesShown), {
  TarnixWeb.page.status({ audioState, frame, musicSeconds, framesShown });
});
EM_JS(void, webPageFrame, (int frame, const uint8_t* pixels, uint32_t width, uint32_t height), {
  TarnixWeb.page.frame(frame, HEAPU8.slice(pixels, pixels + width * height * 4), width, height);
});
EM_JS(void, webPageMusic, (const float* samples, uint32_t count), {
  TarnixWeb.page.music(HEAPF32.slice(samples >> 2, (samples >> 2) + count));
});
EM_JS(void, webPageEnded, (double framesShown, int lastFrame, double musicSeconds), {
  TarnixWeb.page.ended({ framesShown, lastFrame, musicSeconds });
});
// clang-format on

}  // namespace

void pageStatus(uint32_t audioState, uint32_t frame, double musicSeconds, uint64_t framesShown) {
  webPageStatus(int(audioState), int(frame), musicSeconds, double(framesShown));
}
void pageFrame(uint32_t frame, const uint8_t* pixels, uint32_t width, uint32_t height) {
  webPageFrame(int(frame), pixels, width, height);
}
void pageMusic(const float* samples, uint32_t count) { webPageMusic(samples, count); }
void pageEnded(uint64_t framesShown, uint32_t lastFrame, double musicSeconds) {
  webPageEnded(double(framesShown), int(lastFrame), musicSeconds);
}
