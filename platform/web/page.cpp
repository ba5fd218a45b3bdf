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
EM_JS(void, webPageEditorEvent, (const char* event, const char* data), {
  TarnixWeb.editorEvent(UTF8ToString(event), UTF8ToString(data));
});
// clang-format on

PageEditorHandler editorHandler = nullptr;
PageEditorAnswer editorAnswer;  // the last answer, read by the page right after it asked

}  // namespace

// The page's side of the editor panel's requests (web_platform.js, TarnixWeb.editorRequest):
// the answer stays in editorAnswer until the next request.
extern "C" EMSCRIPTEN_KEEPALIVE int tarnixEditorRequest(const char* method, const char* path, const char* body,
                                                        uint32_t size) {
  if (editorHandler == nullptr) return 503;
  editorAnswer = editorHandler(method, path, std::string(body, size));
  return editorAnswer.status;
}
extern "C" EMSCRIPTEN_KEEPALIVE const char* tarnixEditorAnswerType() { return editorAnswer.type.c_str(); }
extern "C" EMSCRIPTEN_KEEPALIVE const char* tarnixEditorAnswerBody() { return editorAnswer.body.data(); }
extern "C" EMSCRIPTEN_KEEPALIVE uint32_t tarnixEditorAnswerSize() { return uint32_t(editorAnswer.body.size()); }

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
void pageSetEditorHandler(PageEditorHandler handler) { editorHandler = handler; }
void pageEditorEvent(const std::string& event, const std::string& data) { webPageEditorEvent(event.c_str(), data.c_str()); }
