#pragma once
// What the editor's page asks of the program, answered without any transport: the native
// server (edit/editor_server.h) hands HTTP requests here, the web page calls it directly.
//
//   GET  /api/state       the file now: version, its timeline for the page (or its error),
//                         what undo and redo would do
//   POST /api/change      a change (edit/timeline_change.h) with {"version": the version
//                         the page saw, "change": {...}}
//   POST /api/undo, /api/redo
//   POST /api/values      {"track", "from", "count", "steps"?}: the values the program
//                         evaluates for those frames (with the steps applied, unwritten), as
//                         little-endian doubles, the track's components frame by frame
//   GET  /api/easings     the easings' names and each curve's shape, sampled by the program
//   POST /api/transport   {"key": "Space" | "Left" | "Right" | "PageUp" | "PageDown" |
//                         "Home" | "L", "shift": bool} or {"seek": FRAME}
//   GET  /api/file        the file's bytes (a download)
//   POST /api/file        {"name", "text"}: the whole text replaced, checked first (where
//                         wholeFiles is set: the web page, where a file is dropped on it)
// Answers are JSON ({"ok": false, "message": ...} when refused) but for values and the file.
#include <cstdint>
#include <functional>
#include <string>

#include "edit/editor_document.h"

struct EditorRequest {
  std::string method;  // "GET" or "POST"
  std::string path;    // without the query
  std::string body;
};

struct EditorResponse {
  int status = 200;  // 400 malformed, 404 no such thing, 409 refused, 500 the file failed
  std::string type = "application/json";
  std::string body;
};

// A transport key, by its virtual-key code, or a seek.
struct TransportCommand {
  uint32_t key = 0;
  bool shift = false;
  bool seek = false;
  uint32_t frame = 0;
};

struct EditorApi {
  EditorDocument* document = nullptr;
  std::function<void(const TransportCommand&)> transport;  // null: transport is refused
  // Tells every open page something ("version": the file changed, with documentStateJson).
  std::function<void(const std::string& event, const std::string& data)> publish;
  bool wholeFiles = false;
};

EditorResponse answerEditorRequest(EditorApi& api, const EditorRequest& request);

// The file as the page shows it: {"version", "file", "error", "timeline", "undo", "redo"}.
std::string documentStateJson(EditorDocument& document);

// The value of a float in the fewest digits that read back to it exactly.
std::string shortestFloatText(float value);
