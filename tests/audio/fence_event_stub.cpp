// Stands in for the graphics backend's fence event where no backend is built: the
// recording device's fences never arm it, so a wait on it returns at once.
#include "platform/gfx.h"

namespace gfx {
namespace {
struct StubEvent : Event {
  HRESULT WaitForSingleObject(uint32_t) override { return kWaitTimeout; }
};
}  // namespace

Event* CreateFenceEvent() { return new StubEvent; }
void CloseHandle(Event* event) { delete event; }
}  // namespace gfx
