#pragma once
// Which device draws. The backend lists its devices in the order they are tried (discrete
// GPUs first, CPU rasterisers last, or the driver's order where the user asked the driver for
// one); the first that has everything the program needs, and can present to its window, is
// taken, and one line says which, and why each one before it was not. The user may name a
// device instead (--device): an index of that list, or part of a device's name.
#include <string>

#include "platform/gfx.h"

struct DeviceChoice {
  gfx::DeviceRequirements requirements;  // gpu/device_requirements.h; zero: only the backend's own
  const char* device = nullptr;          // an index, or part of a name (any case); null: the first that can
};

// The adapter to make the device from (a reference the caller releases). When no device can
// be used, says what each one lacks (on Windows in a message box too) and stops with
// "Failed to aquire adapter".
gfx::Adapter* chooseAdapter(gfx::Factory* factory, const DeviceChoice& choice, Window* window);

// Whether `device` (as DeviceChoice::device) names a device of this system; false with one
// line in *error when it does not, or when there is no driver to ask.
bool deviceNameFound(const char* device, std::string* error);

// Every device with its index, name, type, driver and API version, and whether it can run
// what `requirements` describe or why not (whether it can show a window is known only once
// the window is open). False, with the reason in *text, when there is no driver to ask.
bool listDevices(const gfx::DeviceRequirements& requirements, std::string* text);
