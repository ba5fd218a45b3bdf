#pragma once
// The web program's page (platform/web/page/page.js), as the program tells it what happens.
#include <cstdint>
#include <string>

// After every frame: the music renderer's state (0 created .. 3 streaming), the last timeline
// frame rendered, the music position the clock read, and the frames shown so far.
void pageStatus(uint32_t audioState, uint32_t frame, double musicSeconds, uint64_t framesShown);
// A captured frame's picture: width x height RGBA pixels, rows top to bottom.
void pageFrame(uint32_t frame, const uint8_t* pixels, uint32_t width, uint32_t height);
// The synthesised piece: count interleaved float samples (left, right).
void pageMusic(const float* samples, uint32_t count);
// The end of the run: what it showed.
void pageEnded(uint64_t framesShown, uint32_t lastFrame, double musicSeconds);

// The editor panel beside the show (the page's ?edit) asks the program what the native
// editor's server would: a method, a path and a body, answered with a status, a content type
// and bytes. The program sets the handler; the page may ask before the program's main runs.
struct PageEditorAnswer {
  int status = 200;
  std::string type;
  std::string body;
};
using PageEditorHandler = PageEditorAnswer (*)(const std::string& method, const std::string& path, const std::string& body);
void pageSetEditorHandler(PageEditorHandler handler);
// Tells the editor panel what the native editor's event stream would ("version", ...).
void pageEditorEvent(const std::string& event, const std::string& data);
