// The page's changes to the file: read now, changed, checked, written whole; undo and redo by
// version.
#include "edit/editor_document.h"

#include <cstdio>

#include "app/timeline_file.h"
#include "platform/files.h"
#include "timeline/writer.h"

namespace {

DocumentResult outcome(DocumentOutcome kind, const std::string& message) {
  DocumentResult result;
  result.outcome = kind;
  result.message = message;
  return result;
}

// The file now, loaded; on failure the result says why (nothing to write over).
bool readCurrent(EditorDocument& d, const char* refused, std::string* text, Timeline** timeline, DocumentResult* failure) {
  std::string error;
  if (!d.store.read(text, &error)) {
    *failure = outcome(DocumentOutcome::Failed, std::string(refused) + ": " + error);
    return false;
  }
  *timeline = parseTimelineFile(d.name, *text, &error);
  if (*timeline != nullptr) return true;
  *failure = outcome(DocumentOutcome::Refused, std::string(refused) + ", the file does not load: " + error);
  return false;
}

// Writes `text` (checked first) and hands its timeline to the program.
bool writeVersion(EditorDocument& d, const std::string& text, const char* refused, DocumentResult* result) {
  std::string error;
  Timeline* timeline = parseTimelineFile(d.name, text, &error);
  if (timeline == nullptr) {
    *result = outcome(DocumentOutcome::Refused, std::string(refused) + ", the result would not load: " + error);
    return false;
  }
  const std::string version = documentVersion(text);
  if (d.store.writing) d.store.writing(version);
  if (!d.store.write(text, &error)) {
    destroyTimeline(timeline);
    *result = outcome(DocumentOutcome::Failed, std::string(refused) + ": " + error);
    return false;
  }
  if (d.store.written)
    d.store.written(timeline, version);
  else
    destroyTimeline(timeline);
  return true;
}

// The text that `change` makes of `text` (loaded as `timeline`, which it consumes), or false
// with the refusal.
bool changedText(const TimelineChange& change, Timeline* timeline, std::string* result, std::string* refusal) {
  const bool applied = applyTimelineChange(timeline, change, refusal);
  if (applied) *result = serializeTimeline(timeline, false);
  destroyTimeline(timeline);
  return applied;
}

void remember(std::vector<DocumentVersion>& list, DocumentVersion version) {
  list.push_back(std::move(version));
  if (list.size() > kUndoDepth) list.erase(list.begin());
}

// Undo (forward false) or redo (true) the last entry of `from`, moving it to `to`.
DocumentResult step(EditorDocument& d, bool forward) {
  std::lock_guard lock(d.mutex);
  std::vector<DocumentVersion>& from = forward ? d.redo : d.undo;
  std::vector<DocumentVersion>& to = forward ? d.undo : d.redo;
  const char* verb = forward ? "redo" : "undo";
  if (from.empty()) return outcome(DocumentOutcome::Refused, std::string("nothing to ") + verb);
  DocumentVersion entry = from.back();
  const std::string refused = std::string("not ") + (forward ? "redone" : "undone") + " (" + entry.label + ")";
  std::string text, target, refusal;
  Timeline* timeline = nullptr;
  DocumentResult result;
  if (!readCurrent(d, refused.c_str(), &text, &timeline, &result)) return result;
  const std::string& leftBy = forward ? entry.older : entry.newer;
  if (text == leftBy) {
    target = forward ? entry.newer : entry.older;
    destroyTimeline(timeline);
  } else if (entry.change.steps.empty()) {
    destroyTimeline(timeline);
    return outcome(DocumentOutcome::Refused, refused + ": the file changed since");
  } else if (!changedText(forward ? entry.change : inverseTimelineChange(entry.change), timeline, &target, &refusal)) {
    return outcome(DocumentOutcome::Refused, refused + ": " + refusal);
  }
  if (!writeVersion(d, target, refused.c_str(), &result)) return result;
  from.pop_back();
  entry.older = forward ? text : target;
  entry.newer = forward ? target : text;
  remember(to, std::move(entry));
  return outcome(DocumentOutcome::Written, std::string(forward ? "redone: " : "undone: ") + to.back().label);
}

}  // namespace

DocumentStore documentStoreForFile(const std::string& path) {
  DocumentStore store;
  store.read = [path](std::string* text, std::string* error) {
    std::string reason;
    if (osReadWholeFile(path.c_str(), text, &reason)) return true;
    *error = path + ": " + reason;
    return false;
  };
  store.write = [path](const std::string& text, std::string* error) {
    std::string reason;
    if (osReplaceFile(path.c_str(), text.data(), text.size(), &reason)) return true;
    *error = path + ": " + reason;
    return false;
  };
  return store;
}

std::string documentVersion(const std::string& text) {
  // FNV-1a, 64 bits: enough to tell versions of one file apart.
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
  char name[24];
  snprintf(name, sizeof(name), "%016llx", static_cast<unsigned long long>(hash));
  return name;
}

DocumentState readDocument(EditorDocument& d) {
  std::lock_guard lock(d.mutex);
  DocumentState state;
  state.readable = d.store.read(&state.text, &state.error);
  if (!state.readable) return state;
  state.version = documentVersion(state.text);
  state.timeline = parseTimelineFile(d.name, state.text, &state.error);
  return state;
}

void releaseDocumentState(DocumentState& state) {
  destroyTimeline(state.timeline);
  state.timeline = nullptr;
}

DocumentResult changeDocument(EditorDocument& d, const TimelineChange& change, const std::string& seenVersion) {
  std::lock_guard lock(d.mutex);
  const std::string refused = "not written (" + change.label + ")";
  std::string text, target, refusal;
  Timeline* timeline = nullptr;
  DocumentResult result;
  if (!readCurrent(d, refused.c_str(), &text, &timeline, &result)) return result;
  const bool conflict = documentVersion(text) != seenVersion;
  if (!changedText(change, timeline, &target, &refusal)) {
    result = outcome(DocumentOutcome::Refused, refused + ": " + refusal);
    result.conflict = conflict;
    return result;
  }
  if (target != text) {
    if (!writeVersion(d, target, refused.c_str(), &result)) return result;
    remember(d.undo, DocumentVersion{change.label, change, text, target});
    d.redo.clear();
  }
  result = outcome(DocumentOutcome::Written, change.label + (conflict ? " (on the file as it was changed meanwhile)" : ""));
  result.conflict = conflict;
  return result;
}

DocumentResult undoDocument(EditorDocument& d) { return step(d, false); }
DocumentResult redoDocument(EditorDocument& d) { return step(d, true); }

DocumentResult replaceDocument(EditorDocument& d, const std::string& text, const std::string& name) {
  std::lock_guard lock(d.mutex);
  const std::string label = "load " + name;
  std::string error, old;
  Timeline* checked = parseTimelineFile(name, text, &error);
  if (checked == nullptr) return outcome(DocumentOutcome::Malformed, error);
  destroyTimeline(checked);
  const bool hadOld = d.store.read(&old, &error);
  DocumentResult result;
  if (!writeVersion(d, text, ("not loaded (" + label + ")").c_str(), &result)) return result;
  if (hadOld) remember(d.undo, DocumentVersion{label, TimelineChange{label, {}}, old, text});
  d.redo.clear();
  return outcome(DocumentOutcome::Written, label);
}

std::string nextUndoLabel(EditorDocument& d) {
  std::lock_guard lock(d.mutex);
  return d.undo.empty() ? "" : d.undo.back().label;
}

std::string nextRedoLabel(EditorDocument& d) {
  std::lock_guard lock(d.mutex);
  return d.redo.empty() ? "" : d.redo.back().label;
}
