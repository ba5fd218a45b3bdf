// The table of the page's files; the build writes their bytes and the list
// (editor_page_files.inc: one EDITOR_PAGE_FILE(name, symbol) per file).
#include "edit/editor_page.h"

#define EDITOR_PAGE_FILE(name, symbol) \
  extern const unsigned char symbol[];  \
  extern const size_t symbol##Size;
#include "editor_page_files.inc"
#undef EDITOR_PAGE_FILE

namespace {

const EditorPageFile kFiles[] = {
#define EDITOR_PAGE_FILE(name, symbol) {name, symbol, symbol##Size},
#include "editor_page_files.inc"
#undef EDITOR_PAGE_FILE
};

bool endsWith(std::string_view name, std::string_view suffix) {
  return name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
}

}  // namespace

const EditorPageFile* findEditorPageFile(std::string_view name) {
  for (const EditorPageFile& file : kFiles)
    if (name == file.name) return &file;
  return nullptr;
}

const char* editorPageFileType(std::string_view name) {
  if (endsWith(name, ".html")) return "text/html; charset=utf-8";
  if (endsWith(name, ".css")) return "text/css; charset=utf-8";
  if (endsWith(name, ".js")) return "text/javascript; charset=utf-8";
  if (endsWith(name, ".png")) return "image/png";
  return "application/octet-stream";
}
