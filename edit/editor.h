#pragma once
// Edit mode (tarnix --edit FILE): the presentation plays FILE in a window, and the file on
// disk is the one source of truth.
//  - FILE is reloaded when it is saved (edit/timeline_reload.h): the next frame uses the new
//    timeline, the music plays on; a file that does not load leaves the running timeline and
//    shows its error until a good version arrives.
//  - Transport keys (edit/transport.h) pause, seek and loop; the music goes with the picture.
//  - Every frame is rendered with the capture tool's fixed step (edit/fixed_step.h), and a
//    seek re-runs the simulation up to the frame and starts the temporal history over, so a
//    frame settles to what tarnix-capture renders, however it was reached.
//  - F flies the camera; C writes it as keys; B toggles a bookmark; Ctrl+S writes the header
//    that embeds the timeline; H shows or hides the overlay (edit/hud.h).
//  - With a link (edit/editor_link.h), the editor's page in a browser changes the file too,
//    sends the transport keys and a seek, and is told where the show is and what is on screen.
#include <string>

#include "app/frame_clock.h"
#include "app/presentation.h"
#include "edit/editor_link.h"
#include "edit/hud.h"
#include "edit/simulation_replay.h"
#include "edit/timeline_reload.h"
#include "edit/transport.h"

struct Editor {
  Presentation* presentation = nullptr;
  std::string path;
  EditorLink* link = nullptr;  // the page's, when it is served
  TimelineReload reload;
  SimulationReplay replay;
  Transport transport;
  Hud hud;
  GpuTexture* noHistory = nullptr;  // zero positions: copied in, the temporal pass keeps no history

  bool started = false;       // the music plays and the first frame is shown
  uint32_t shownFrame = 0;
  bool restartHistory = false;  // the next frame follows a seek
  bool redraw = false;          // the frame stays but must be drawn again

  bool flying = false;
  Camera flight;  // the free-flight camera while flying

  // The clock: the music's position, or in an offscreen run (the suites) one 60 Hz period
  // per iteration while playing.
  uint64_t fixedTicks = 0;
  MusicPosition musicPosition;

  // What the overlay says.
  std::string fileError;   // the last reload's error, until a good version arrives
  std::string reloadNote;  // the last good reload
  std::string notice;      // the last thing a key did
  int64_t savedAt = 0;     // the file time of a version reloaded and not yet shown
  std::string savedVersion;  // that version
  std::string runningVersion;  // the version of the file the running timeline came from
  double fpsSinceMs = 0;
  uint32_t fpsFrames = 0;
  float framesPerSecond = 0;
};

// After startPresentation (with the file's timeline, read from the version `loaded`, its
// stamp taken before the read): renders until the music plays, then edits. A save since
// that version is reloaded at once. False when the presentation ended before that (Escape,
// the window closed).
bool startEditor(Editor& editor, Presentation& presentation, const std::string& path, const OsFileStamp& loaded);

// One iteration: input, reload, the frame to show, and, when anything changed, that frame.
// False once the editor should end (Escape, the window closed, a stop request).
bool runEditorFrame(Editor& editor);

// Releases the editor's objects (before shutdownPresentation).
void stopEditor(Editor& editor);

// The whole session: startEditor, iterations until the end, stopEditor and the shutdown.
// `link` (may be null) is the page's, opened before the presentation started.
PresentationSummary runEditor(Presentation& presentation, const std::string& path, const OsFileStamp& loaded,
                              EditorLink* link);

// Renders `frame` now with the fixed step (edit/editor_frame.cpp).
void renderEditorFrame(Editor& editor, uint32_t frame);

// The overlay's lines for the editor's state now.
std::vector<std::string> hudLines(const Editor& editor);
