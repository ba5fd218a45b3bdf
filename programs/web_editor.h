#pragma once
// The editor panel of the web page (?edit): the timeline the page holds, changed as the native
// editor changes a file (edit/editor_api.h: the same requests, steps, checks, undo and redo), a
// dropped file loaded whole and a download of the text. Each version written waits here for
// the show's next frame.
#include "timeline/timeline.h"

// The timeline of the last version the panel wrote, not yet played (the caller owns it), or
// null.
Timeline* takeEditedTimeline();
