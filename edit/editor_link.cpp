// The hand-over between the editor's server thread and the editor's loop.
#include "edit/editor_link.h"

#include <cstdio>

namespace {

constexpr double kPlayheadPeriodMs = 50.0;

}  // namespace

bool openEditorLink(EditorLink& link, const std::string& path, uint16_t port, std::string* error) {
  link.document.name = path;
  link.document.store = documentStoreForFile(path);
  link.document.store.writing = [&link](const std::string& version) {
    std::lock_guard lock(link.mutex);
    link.pageVersion = version;
  };
  link.document.store.written = [&link, path](Timeline* timeline, const std::string& version) {
    std::lock_guard lock(link.mutex);
    destroyTimeline(link.written);  // a newer version replaces one not played yet
    link.written = timeline;
    link.writtenVersion = version;
    link.writtenStamp = osFileStampOf(path.c_str());
    link.writtenAt = osFileTimeNow();
  };
  EditorApi api;
  api.document = &link.document;
  api.transport = [&link](const TransportCommand& command) {
    std::lock_guard lock(link.mutex);
    link.commands.push_back(command);
  };
  link.server = startEditorServer(api, port, error);
  if (link.server != nullptr) publishFileChanged(link);
  return link.server != nullptr;
}

void closeEditorLink(EditorLink& link) {
  stopEditorServer(link.server);
  link.server = nullptr;
  destroyTimeline(link.written);
  link.written = nullptr;
}

Timeline* takeWrittenTimeline(EditorLink& link, OsFileStamp* stamp, std::string* version, int64_t* writtenAt) {
  std::lock_guard lock(link.mutex);
  Timeline* timeline = link.written;
  link.written = nullptr;
  *stamp = link.writtenStamp;
  *version = link.writtenVersion;
  *writtenAt = link.writtenAt;
  return timeline;
}

bool isPageVersion(EditorLink& link, const std::string& version) {
  std::lock_guard lock(link.mutex);
  return !version.empty() && version == link.pageVersion;
}

std::vector<TransportCommand> takeTransportCommands(EditorLink& link) {
  std::lock_guard lock(link.mutex);
  std::vector<TransportCommand> commands;
  commands.swap(link.commands);
  return commands;
}

void publishPlayhead(EditorLink& link, const std::string& playhead, double nowMs) {
  if (link.server == nullptr || playhead == link.playhead || nowMs - link.playheadSentMs < kPlayheadPeriodMs) return;
  link.playhead = playhead;
  link.playheadSentMs = nowMs;
  publishEditorEvent(link.server, "playhead", playhead);
}

void publishShown(EditorLink& link, const std::string& version, double ms) {
  if (link.server == nullptr) return;
  char data[128];
  snprintf(data, sizeof(data), "{\"version\":\"%s\",\"ms\":%.0f}", version.c_str(), ms);
  publishEditorEvent(link.server, "shown", data);
}

void publishFileChanged(EditorLink& link) {
  if (link.server != nullptr) publishEditorEvent(link.server, "version", documentStateJson(link.document));
}
