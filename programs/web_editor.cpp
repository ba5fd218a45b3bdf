// The web page's timeline text, kept in memory and changed through the editor's requests.
#include "programs/web_editor.h"

#include <string>

#include "app/timeline_file.h"
#include "edit/editor_api.h"
#include "platform/web/page.h"
#include "timeline/writer.h"

namespace {

struct WebEditor {
  std::string text;  // the page's "file"
  Timeline* edited = nullptr;
  EditorDocument document;
  EditorApi api;

  WebEditor() {
    Timeline* builtIn = loadBuiltInTimeline();
    text = serializeTimeline(builtIn, false);
    destroyTimeline(builtIn);
    document.name = TIMELINE_FILE_NAME;
    document.store.read = [this](std::string* content, std::string*) {
      *content = text;
      return true;
    };
    document.store.write = [this](const std::string& content, std::string*) {
      text = content;
      return true;
    };
    document.store.written = [this](Timeline* timeline, const std::string&) {
      destroyTimeline(edited);
      edited = timeline;
    };
    api.document = &document;
    api.wholeFiles = true;
    api.publish = [](const std::string& event, const std::string& data) { pageEditorEvent(event, data); };
  }
};

WebEditor& webEditor() {
  static WebEditor editor;
  return editor;
}

PageEditorAnswer answer(const std::string& method, const std::string& path, const std::string& body) {
  const EditorResponse response = answerEditorRequest(webEditor().api, EditorRequest{method, path, body});
  return PageEditorAnswer{response.status, response.type, response.body};
}

// Ready before the program's main runs: the page's panel asks as soon as it is there.
[[maybe_unused]] const bool registered = (pageSetEditorHandler(answer), true);

}  // namespace

Timeline* takeEditedTimeline() {
  Timeline* timeline = webEditor().edited;
  webEditor().edited = nullptr;
  return timeline;
}
