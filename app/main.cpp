// The program: no arguments, no configuration. The render size is the one thing that
// differs between the two deliverables, fixed when each is built.
#include "app/presentation.h"

#ifndef TARNIX_RENDER_WIDTH
#define TARNIX_RENDER_WIDTH 960
#endif
#ifndef TARNIX_RENDER_HEIGHT
#define TARNIX_RENDER_HEIGHT 540
#endif

static_assert(TARNIX_RENDER_WIDTH % 32 == 0, "the compute passes cover whole groups of 32 columns");

// Too large for the stack and used for the whole run.
static Presentation presentation;

int main() {
  PresentationOptions options;
  options.renderWidth = TARNIX_RENDER_WIDTH;
  options.renderHeight = TARNIX_RENDER_HEIGHT;
  startPresentation(presentation, options);
  runPresentation(presentation);
  return 0;
}
