#pragma once
// The editor's page (edit/page/: HTML, CSS and plain JavaScript), built into the program so
// that it is served without any file beside the program and without any network.
#include <cstddef>
#include <string_view>

struct EditorPageFile {
  const char* name;  // "index.html", "editor.css", "timeline_view.js", ...
  const unsigned char* data;
  size_t size;
};

// The file of that name, or null.
const EditorPageFile* findEditorPageFile(std::string_view name);

// The content type a file of that name is served with.
const char* editorPageFileType(std::string_view name);
