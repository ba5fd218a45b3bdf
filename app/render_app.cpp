#include "app/render_app.h"

RenderApp renderApp;
InputState inputState;

RenderApp::~RenderApp() = default;

void deferRelease(gfx::Object* object) {
  ASSERT(renderApp.deferredReleases.count == kFrameContextCount,
         "Released a graphics object without a device\n");
  renderApp.deferredReleases[renderApp.frameCounter % kFrameContextCount].push(object);
}
