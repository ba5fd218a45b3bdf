#pragma once
// The timeline file as the editor's page changes it. The file stays the one source of truth:
// every change is applied to the file as it is now (read again each time), checked as
// --timeline checks a file, and written back whole and atomically; undo and redo go back and
// forth between the versions the page's changes made. The bytes live in a store: the file on
// disk (tarnix --edit) or the text a web page holds.
//
// One writer at a time: whoever changes the file holds `mutex` (the functions below take it;
// other writers of the same file, the window's keys, take it around their own changes).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "edit/timeline_change.h"
#include "timeline/timeline.h"

struct DocumentStore {
  // The bytes now; false with *error ("FILE: reason") when they cannot be read.
  std::function<bool(std::string* text, std::string* error)> read;
  // Replaces the bytes whole and atomically; false with *error, the old bytes untouched.
  std::function<bool(const std::string& text, std::string* error)> write;
  // Before a write: the version about to be written, so that a reader who sees the file change
  // first can tell it from an edit made elsewhere. Called with the mutex held.
  std::function<void(const std::string& version)> writing;
  // After a write: the new version's timeline, which the program then plays (the callee owns
  // it). Called with the mutex held.
  std::function<void(Timeline* timeline, const std::string& version)> written;
};

struct DocumentVersion {
  std::string label;  // what the page called the change
  TimelineChange change;
  std::string older, newer;  // the file's bytes before and after it
};

inline constexpr size_t kUndoDepth = 100;

struct EditorDocument {
  std::string name;  // the file's name as messages give it
  DocumentStore store;
  std::mutex mutex;
  std::vector<DocumentVersion> undo, redo;  // the last is the next to undo, or to redo
};

// What the file holds now, as the page sees it.
struct DocumentState {
  bool readable = false;  // false: the file could not be read (error says why)
  std::string version;    // of the bytes read ("" when unreadable)
  std::string text;
  Timeline* timeline = nullptr;  // null when the bytes do not load (the caller destroys it)
  std::string error;             // "FILE:LINE:COLUMN: what is wrong" or "FILE: reason"
};

enum class DocumentOutcome : uint8_t { Written, Malformed, Refused, Failed };

struct DocumentResult {
  DocumentOutcome outcome = DocumentOutcome::Failed;
  std::string message;  // what was done, or why nothing was
  bool conflict = false;  // the file had changed since the version the page saw
};

// The store of a file on disk: read whole, replaced atomically (platform/files.h); messages
// name the file as `path` gives it.
DocumentStore documentStoreForFile(const std::string& path);

// A version's name: a hash of its bytes, the same for the same bytes in any run.
std::string documentVersion(const std::string& text);

// The file as it is now (takes the mutex).
DocumentState readDocument(EditorDocument& document);
void releaseDocumentState(DocumentState& state);

// Applies a change the page made on the version `seenVersion` and writes the result.
DocumentResult changeDocument(EditorDocument& document, const TimelineChange& change, const std::string& seenVersion);

// Undo and redo the page's changes: back to the bytes before the last one when the file is
// still as that change left it, otherwise its reverse applied as a change (refused where the
// file changed the same keys since).
DocumentResult undoDocument(EditorDocument& document);
DocumentResult redoDocument(EditorDocument& document);

// Replaces the whole text (a file dropped on the web page), checked first (its faults named
// after `name`, the file's own name); undoable while nothing else changes the text.
DocumentResult replaceDocument(EditorDocument& document, const std::string& text, const std::string& name);

// Labels of what undo and redo would do next ("" when nothing).
std::string nextUndoLabel(EditorDocument& document);
std::string nextRedoLabel(EditorDocument& document);

