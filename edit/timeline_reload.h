#pragma once
// Reload on save: the edited file is watched (platform/files.h) and, once a new version has
// stood still for a moment, read and checked. A version is read only when its stamp is the
// same before and after the read, so an editor that writes in two steps, or renames a new
// file over the old one, is never read in the middle; and a text that is only part of a
// timeline fails the check as a whole (the running timeline stays).
#include <cstdint>
#include <string>

#include "platform/files.h"
#include "timeline/timeline.h"

// A version must stand still this long before it is read.
inline constexpr double kReloadSettleMs = 30.0;
// Without a word from the watch the stamp is compared this often.
inline constexpr double kReloadPollMs = 250.0;

struct TimelineReload {
  std::string path;
  OsFileWatch* watch = nullptr;
  OsFileStamp seen;         // the last version looked at
  bool pending = false;     // a version not read yet
  double changedAtMs = 0;   // when `seen` last changed
  double polledAtMs = -1e300;
};

enum class ReloadOutcome : uint8_t { Nothing, Reloaded, Failed };

struct ReloadResult {
  ReloadOutcome outcome = ReloadOutcome::Nothing;
  Timeline* timeline = nullptr;  // Reloaded: the new timeline (the caller owns it)
  std::string message;           // Failed: "FILE:LINE:COLUMN: ..." or "FILE: reason"
  OsFileStamp stamp;             // the version read
  std::string version;           // Reloaded: its name (edit/editor_document.h)
};

// `loaded` is the version the running timeline came from.
void startWatching(TimelineReload& reload, const std::string& path, const OsFileStamp& loaded);
void stopWatching(TimelineReload& reload);

// Called once per frame with the counter in milliseconds; never waits.
ReloadResult checkForNewVersion(TimelineReload& reload, double nowMs);

// The program wrote this version itself (and runs it already): it is not read again.
void versionWritten(TimelineReload& reload, const OsFileStamp& stamp);
