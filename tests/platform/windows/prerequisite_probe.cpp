// A GUI program (Windows subsystem, the manifest of tarnix.exe) for message_box_test: it
// stops the way its argument says, through the same code as the presentation.
//   panic   the PANIC of a failed device call
//   assert  the ASSERT of an exceeded limit
//   driver  creates the graphics factory as createWindowAndDevice does: without
//           vulkan-1.dll the backend tells of the missing driver, then the PANIC follows
//   device  chooses a device as createWindowAndDevice does, for a need no device meets:
//           what each lacks is told, then the adapter PANIC follows
#include <cstdint>
#include <cstring>

#include "base/diagnostics.h"
#include "gpu/device_choice.h"
#include "platform/gfx.h"

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  if (std::strcmp(mode, "panic") == 0) PANIC("Failed to create device\n");
  if (std::strcmp(mode, "assert") == 0) ASSERT(false, "Exceeded the limit of the fixed array %u\n", 4u);
  if (std::strcmp(mode, "driver") == 0) {
    gfx::Factory* factory = nullptr;
    if (gfx::Failed(gfx::CreateFactory(0, &factory))) PANIC("Failed to create factory\n");
    printMessage("prerequisite_probe: the factory was created\n");
    factory->Release();
    return 0;
  }
  if (std::strcmp(mode, "device") == 0) {
    gfx::Factory* factory = nullptr;
    if (gfx::Failed(gfx::CreateFactory(0, &factory))) PANIC("Failed to create factory\n");
    DeviceChoice beyondAnyDevice;
    beyondAnyDevice.requirements.ComputeGroupInvocations = UINT32_MAX;
    chooseAdapter(factory, beyondAnyDevice, nullptr)->Release();
    factory->Release();
    return 0;
  }
  printMessage("prerequisite_probe: panic, assert, driver or device\n");
  return 2;
}
