// Edit mode's loop: keys, reloads, the clock, and a frame rendered whenever something changed.
#include "edit/editor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio/audio_renderer.h"
#include "base/diagnostics.h"
#include "edit/timeline_edits.h"
#include "gpu/render_app.h"
#include "platform/os.h"
#include "platform/window.h"

namespace {

constexpr uint32_t kSamplesPerFrame = 44100 / uint32_t(kTimelineFramesPerSecond);  // 735
constexpr double kFpsPeriodMs = 1000.0;

double counterMs() { return double(osPerformanceCounter()) / (double(osPerformanceFrequency()) / 1000.0); }

bool fixedClock(const Editor& e) { return e.presentation->options.fixedClock; }

// The music goes where the picture goes: from the frame shown, playing or held.
void moveMusic(Editor& e) {
  e.presentation->audio->streamer.moveTo(e.transport.frame * kSamplesPerFrame, !e.transport.paused);
  e.fixedTicks = e.transport.frame;
  e.musicPosition = {};
}

double musicSeconds(Editor& e) {
  if (fixedClock(e)) return double(e.fixedTicks) / kTimelineFramesPerSecond;
  return trustedMusicSeconds(e.musicPosition, e.presentation->audio->positionSeconds(), counterMs());
}

void say(Editor& e, const std::string& notice) {
  e.notice = notice;
  printMessage("tarnix: %s\n", notice.c_str());
  e.redraw = true;
}

// A timeline the file now holds replaces the running one; the simulation's kept states from
// the first frame it changes for the simulation on are no longer kept.
void useTimeline(Editor& e, Timeline* timeline) {
  Presentation& p = *e.presentation;
  forgetSimulationFrom(e.replay, firstSimulationDifference(p.timeline, timeline, kEndFrameIndex + 1));
  destroyTimeline(p.timeline);
  p.timeline = timeline;
  // A track the new timeline lacks leaves its parameter at the starting value, as a run of it
  // from the start would.
  applySceneParams(p.destinations, p.sceneParams);
  e.fileError.clear();
  e.redraw = true;
}

void applyEdit(Editor& e, TimelineEdit edit) {
  if (edit.written) {
    useTimeline(e, edit.timeline);
    versionWritten(e.reload, edit.stamp);
    if (e.link != nullptr) publishFileChanged(*e.link);
  }
  say(e, edit.message);
}

// The window's changes to the file, one writer at a time with the page's.
template <typename Change>
void changeFile(Editor& e, Change change) {
  if (e.link == nullptr) return applyEdit(e, change());
  std::unique_lock lock(e.link->document.mutex);
  TimelineEdit edit = change();
  lock.unlock();
  applyEdit(e, std::move(edit));
}

void saveHeader(Editor& e) {
  std::string message;
  if (!e.fileError.empty())
    message = "header not written: the file does not load (the header would not hold what it says)";
  else
    writeEmbeddedTimelineHeader(e.presentation->timeline, &message);
  say(e, message);
}

void toggleFlight(Editor& e) {
  e.flying = !e.flying;
  e.flight = e.presentation->camera;
  e.flight.velocity = Float3{0.0f, 0.0f, 0.0f};
  say(e, e.flying ? "flying: W A S D, Q E, turn with the left mouse button; C writes the camera here"
                  : "the timeline's camera again");
}

void writeCamera(Editor& e) {
  const Camera& camera = e.presentation->camera;
  changeFile(e, [&] {
    return writeCameraKeys(e.path, e.transport.frame, camera.position, Float3{camera.pitch, camera.yaw, camera.roll});
  });
}

// The transport's keys, then the editor's own.
void handleKey(Editor& e, uint32_t key, bool shift, bool control) {
  const TransportChange change = pressTransportKey(e.transport, e.presentation->timeline, key, shift);
  if (change == TransportChange::Jumped) {
    e.restartHistory = true;
    moveMusic(e);
  } else if (change == TransportChange::Paused) {
    moveMusic(e);
    e.redraw = true;
  } else if (change == TransportChange::Looped) {
    const Transport& t = e.transport;
    say(e, t.looping ? "looping frames " + std::to_string(t.loopStart) + " to " + std::to_string(t.loopEnd - 1)
                     : "no longer looping");
  } else if (key == 'S' && control) {
    saveHeader(e);
  } else if (key == 'B') {
    changeFile(e, [&] { return toggleBookmark(e.path, e.transport.frame); });
  } else if (key == 'C') {
    writeCamera(e);
  } else if (key == 'F') {
    toggleFlight(e);
  } else if (key == 'H') {
    e.hud.visible = !e.hud.visible;
    e.redraw = true;
  }
}

// A modifier counts when it is held or went down in this iteration: one pump may take a whole
// quick Ctrl+S, the Ctrl key's release included, before the keys are looked at.
bool modifier(uint32_t key) { return inputState.keyDown[key] != 0 || inputState.keyPressed[key] != 0; }

void handleKeys(Editor& e) {
  const bool shift = modifier(VK_SHIFT), control = modifier(VK_CONTROL);
  for (uint32_t key = 0; key < kInputKeyCount; ++key)
    if (inputState.keyPressed[key] && key != VK_ESCAPE) handleKey(e, key, shift, control);
}

// A version still settling is waited for here, so that a save is on screen one frame later.
void checkReload(Editor& e) {
  ReloadResult result = checkForNewVersion(e.reload, counterMs());
  const double waitMs = kReloadSettleMs - (counterMs() - e.reload.changedAtMs);
  if (result.outcome == ReloadOutcome::Nothing && e.reload.pending && !fixedClock(e) && waitMs > 0) {
    osWaitMicroseconds(uint32_t(waitMs * 1000.0) + 1);
    result = checkForNewVersion(e.reload, counterMs());
  }
  if (result.outcome == ReloadOutcome::Reloaded && result.version == e.runningVersion && e.fileError.empty()) {
    destroyTimeline(result.timeline);  // the page's version, read back from the file before it was handed over
  } else if (result.outcome == ReloadOutcome::Reloaded) {
    useTimeline(e, result.timeline);
    e.runningVersion = result.version;
    e.savedAt = result.stamp.modified;
    e.savedVersion = result.version;
    // The page's write, seen in the file before its timeline was handed over.
    const bool fromPage = e.link != nullptr && isPageVersion(*e.link, result.version);
    e.reloadNote = fromPage ? "changed from the page" : "reloaded";
  } else if (result.outcome == ReloadOutcome::Failed) {
    e.fileError = result.message;
    printMessage("%s\n", result.message.c_str());
    e.redraw = true;
  }
  if (result.outcome != ReloadOutcome::Nothing && e.link != nullptr) publishFileChanged(*e.link);
}

// What the page sent since the last iteration: a version it wrote (played at once, as the
// window's own changes are), the transport keys and seeks.
void takeFromPage(Editor& e) {
  if (e.link == nullptr) return;
  OsFileStamp stamp;
  std::string version;
  int64_t writtenAt = 0;
  Timeline* timeline = takeWrittenTimeline(*e.link, &stamp, &version, &writtenAt);
  if (timeline != nullptr) versionWritten(e.reload, stamp);
  if (timeline != nullptr && version == e.runningVersion) {
    destroyTimeline(timeline);  // read from the file already
  } else if (timeline != nullptr) {
    useTimeline(e, timeline);
    e.runningVersion = version;
    e.savedAt = writtenAt;
    e.savedVersion = version;
    e.reloadNote = "changed from the page";
  }
  for (const TransportCommand& command : takeTransportCommands(*e.link)) {
    if (!command.seek) {
      handleKey(e, command.key, command.shift, false);
    } else if (command.frame != e.transport.frame) {
      e.transport.frame = std::min(command.frame, kEndFrameIndex);
      e.restartHistory = true;
      moveMusic(e);
    }
  }
}

// Tells the pages where the show is now.
void tellPages(Editor& e) {
  if (e.link == nullptr) return;
  const Transport& t = e.transport;
  char playhead[192];
  snprintf(playhead, sizeof(playhead),
           "{\"frame\":%u,\"paused\":%s,\"looping\":%s,\"loopStart\":%u,\"loopEnd\":%u,\"fps\":%.1f,\"flying\":%s}", t.frame,
           t.paused ? "true" : "false", t.looping ? "true" : "false", t.loopStart, t.loopEnd, double(e.framesPerSecond),
           e.flying ? "true" : "false");
  publishPlayhead(*e.link, playhead, counterMs());
}

// Where the music took the picture.
void followTheMusic(Editor& e) {
  if (e.transport.paused) return;
  if (fixedClock(e)) e.fixedTicks += 1;
  const uint32_t musicFrame = nextFrameIndex(FrameClockMode::Music, e.transport.frame, musicSeconds(e));
  const TransportChange change = followMusic(e.transport, musicFrame);
  if (change == TransportChange::Jumped) e.restartHistory = true;
  if (change != TransportChange::None) moveMusic(e);
}

// The time from a save to the first frame that shows it, said once that frame is presented.
void reportReloadShown(Editor& e) {
  if (e.savedAt == 0) return;
  const double ms = double(osFileTimeNow() - e.savedAt) * 1000.0 / double(osFileTimeUnitsPerSecond());
  char text[96];
  snprintf(text, sizeof(text), "%s (on screen %.0f ms after the %s)", e.reloadNote.c_str(), ms,
           e.reloadNote == "reloaded" ? "save" : "change");
  printMessage("tarnix: %s: %s\n", e.path.c_str(), text);
  e.reloadNote = text;
  if (e.link != nullptr) publishShown(*e.link, e.savedVersion, ms);
  e.savedAt = 0;
}

void countFrames(Editor& e) {
  const double now = counterMs();
  if (now - e.fpsSinceMs < kFpsPeriodMs) return;
  e.framesPerSecond = float(double(e.fpsFrames) * 1000.0 / (now - e.fpsSinceMs));
  e.fpsFrames = 0;
  e.fpsSinceMs = now;
}

}  // namespace

bool startEditor(Editor& e, Presentation& p, const std::string& path, const OsFileStamp& loaded) {
  e.presentation = &p;
  e.path = path;
  // The music's synthesis and the frame that starts it, as the presentation does them.
  while (!p.lastFrame.passesRecorded)
    if (!runFrame(p)) return false;
  createSimulationReplay(e.replay, p);
  std::vector<uint8_t> zeros(size_t(p.options.renderWidth) * p.options.renderHeight * 16, 0);
  e.noHistory = createTexture(p.options.renderWidth, p.options.renderHeight, zeros.data(), kStateCopySource,
                              gfx::FORMAT_R32G32B32A32_FLOAT, 0);
  createHud(e.hud, renderApp.width, renderApp.height);
  e.hud.visible = true;
  startWatching(e.reload, path, loaded);
  if (renderApp.window != nullptr) windowShowCursor(true);
  e.started = true;
  e.fpsSinceMs = counterMs();
  return true;
}

bool runEditorFrame(Editor& e) {
  if (renderApp.window != nullptr) pumpMessages();
  if (inputState.keyPressed[VK_ESCAPE] || osStopRequestExitStatus() != 0) renderApp.quit = 1;
  if (renderApp.quit != 0) return false;
  handleKeys(e);
  takeFromPage(e);
  checkReload(e);
  followTheMusic(e);
  countFrames(e);
  const bool changed = e.transport.frame != e.shownFrame || e.restartHistory || e.redraw || e.flying ||
                       (e.hud.visible && hudLines(e) != e.hud.shownLines);
  if (changed) {
    renderEditorFrame(e, e.transport.frame);
    reportReloadShown(e);
  } else if (!fixedClock(e)) {
    osWaitMicroseconds(1000);
  }
  if (renderApp.window == nullptr) clearPressedInput(inputState);
  e.presentation->musicSeconds = musicSeconds(e);
  tellPages(e);
  return true;
}

void stopEditor(Editor& e) {
  if (!e.started) return;
  waitForGpuIdle();
  stopWatching(e.reload);
  destroyHud(e.hud);
  releaseTexture(e.noHistory);
  destroySimulationReplay(e.replay);
  e.started = false;
}

PresentationSummary runEditor(Presentation& p, const std::string& path, const OsFileStamp& loaded, EditorLink* link) {
  Editor editor;
  editor.link = link;
  if (startEditor(editor, p, path, loaded))
    while (runEditorFrame(editor)) {
    }
  stopEditor(editor);
  const PresentationSummary summary = {p.framesShown, p.lastShownFrame, p.musicSeconds};
  shutdownPresentation(p);
  return summary;
}

std::vector<std::string> hudLines(const Editor& e) {
  const Presentation& p = *e.presentation;
  const Transport& t = e.transport;
  char line[160];
  std::vector<std::string> lines;
  snprintf(line, sizeof(line), "frame %u  %6.2f s  %5.1f fps%s%s%s", t.frame, double(t.frame) / kTimelineFramesPerSecond,
           double(e.framesPerSecond), t.paused ? "  PAUSED" : "", t.looping ? "  LOOP" : "", e.flying ? "  FLYING" : "");
  lines.push_back(line);
  const Section section = sectionAround(p.timeline, t.frame);
  snprintf(line, sizeof(line), "section %u - %u%s", section.start, section.end - 1,
           t.looping ? ("  (looping " + std::to_string(t.loopStart) + " - " + std::to_string(t.loopEnd - 1) + ")").c_str() : "");
  lines.push_back(line);
  // The file's error stays until a good version arrives; it may take two lines.
  const std::string status = e.fileError.empty() ? e.path + ": " + (e.reloadNote.empty() ? "loaded" : e.reloadNote)
                                                 : "ERROR " + e.fileError;
  const size_t width = hudCharactersPerLine(e.hud);
  size_t cut = status.size() <= width ? status.size() : status.rfind(' ', width);
  if (cut == std::string::npos || cut < width / 2) cut = std::min(width, status.size());
  lines.push_back(status.substr(0, cut));
  const size_t rest = status.find_first_not_of(' ', cut);
  if (rest != std::string::npos) lines.push_back("  " + status.substr(rest, width - 2));
  if (!e.notice.empty()) lines.push_back(e.notice.substr(0, width));
  return lines;
}
