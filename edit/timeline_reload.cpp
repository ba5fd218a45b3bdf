#include "edit/timeline_reload.h"

#include "app/timeline_file.h"
#include "edit/editor_document.h"

void startWatching(TimelineReload& r, const std::string& path, const OsFileStamp& loaded) {
  r.path = path;
  r.watch = osWatchFile(path.c_str());
  r.seen = loaded;
  r.pending = false;
}

void stopWatching(TimelineReload& r) {
  osStopWatching(r.watch);
  r.watch = nullptr;
}

void versionWritten(TimelineReload& r, const OsFileStamp& stamp) {
  r.seen = stamp;
  r.pending = false;
}

namespace {

// Takes a new stamp into account: a change restarts the wait for the file to stand still.
void look(TimelineReload& r, double nowMs) {
  const OsFileStamp stamp = osFileStampOf(r.path.c_str());
  if (stamp == r.seen) return;
  r.seen = stamp;
  r.changedAtMs = nowMs;
  r.pending = true;
}

}  // namespace

ReloadResult checkForNewVersion(TimelineReload& r, double nowMs) {
  const bool signalled = r.watch != nullptr && osFileWatchSignalled(r.watch);
  if (signalled || nowMs - r.polledAtMs >= kReloadPollMs) {
    r.polledAtMs = nowMs;
    look(r, nowMs);
  }
  ReloadResult result;
  if (!r.pending || nowMs - r.changedAtMs < kReloadSettleMs) return result;
  std::string text, reason;
  const bool read = osReadWholeFile(r.path.c_str(), &text, &reason);
  look(r, nowMs);
  if (nowMs == r.changedAtMs) return result;  // written again meanwhile: wait for it to settle
  r.pending = false;
  result.stamp = r.seen;
  if (!read) {
    result.outcome = ReloadOutcome::Failed;
    result.message = r.path + ": " + reason;
    return result;
  }
  result.timeline = parseTimelineFile(r.path, text, &result.message);
  result.version = documentVersion(text);
  result.outcome = result.timeline != nullptr ? ReloadOutcome::Reloaded : ReloadOutcome::Failed;
  return result;
}
