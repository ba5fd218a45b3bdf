#pragma once
// What the editor's page and the running editor hand each other. The page's requests are
// answered on the server's thread (edit/editor_server.h): a change is written to the file
// there, and the timeline it gives waits here for the editor's next iteration, as do the
// transport keys the page sends. The editor, on the main thread, tells the pages where the
// show is, when a version is on screen, and of versions that came from elsewhere.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "edit/editor_api.h"
#include "edit/editor_document.h"
#include "edit/editor_server.h"
#include "platform/files.h"

struct EditorLink {
  EditorDocument document;
  EditorServer* server = nullptr;

  std::mutex mutex;  // guards the hand-over below
  Timeline* written = nullptr;  // the last version the page wrote, not yet played
  std::string writtenVersion;
  OsFileStamp writtenStamp;
  int64_t writtenAt = 0;  // osFileTimeNow() when it was written
  std::string pageVersion;  // the last version the page wrote or is writing
  std::vector<TransportCommand> commands;

  // Main thread only.
  std::string playhead;  // the last "playhead" event sent
  double playheadSentMs = -1e300;
};

// Serves the editor of the file at `path` on 127.0.0.1:port (0: a free port). False with
// *error when the port cannot be had.
bool openEditorLink(EditorLink& link, const std::string& path, uint16_t port, std::string* error);
void closeEditorLink(EditorLink& link);

// The timeline the page last wrote (null when none is waiting; the caller owns it).
Timeline* takeWrittenTimeline(EditorLink& link, OsFileStamp* stamp, std::string* version, int64_t* writtenAt);
std::vector<TransportCommand> takeTransportCommands(EditorLink& link);
// Whether `version` of the file is the page's: the file watcher may see the page's write before
// the page's timeline is handed over.
bool isPageVersion(EditorLink& link, const std::string& version);

// Where the show is, as {"frame", "paused", "looping", "loopStart", "loopEnd", "fps"}: sent
// when it changes, at most every 50 ms while the frame moves.
void publishPlayhead(EditorLink& link, const std::string& playhead, double nowMs);
// A version of the file is on screen `ms` after it was written (or saved elsewhere).
void publishShown(EditorLink& link, const std::string& version, double ms);
// The file changed, or stopped loading, by other hands than the page's: every page is sent it.
void publishFileChanged(EditorLink& link);
