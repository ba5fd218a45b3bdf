#include "gpu/device_choice.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "base/diagnostics.h"
#include "platform/os.h"

namespace {

struct Candidate {
  uint32_t index;
  gfx::Adapter* adapter;
  gfx::AdapterDesc desc;
};

// Every adapter of the factory, in its order (references the caller releases).
std::vector<Candidate> adaptersOf(gfx::Factory* factory) {
  std::vector<Candidate> all;
  for (uint32_t i = 0;; ++i) {
    Candidate c{i, nullptr, {}};
    if (gfx::Failed(factory->EnumAdapters(i, &c.adapter)) || c.adapter == nullptr) return all;
    c.adapter->GetDesc(&c.desc);
    all.push_back(c);
  }
}

void releaseAll(std::vector<Candidate>& all, const gfx::Adapter* keep = nullptr) {
  for (Candidate& c : all)
    if (c.adapter != keep) c.adapter->Release();
  all.clear();
}

bool containsIgnoringCase(const char* text, const char* part) {
  for (; *text; ++text) {
    size_t i = 0;
    while (part[i] && text[i] && std::tolower(uint8_t(text[i])) == std::tolower(uint8_t(part[i]))) ++i;
    if (part[i] == 0) return true;
  }
  return false;
}

bool isIndex(const char* text) {
  if (*text == 0) return false;
  for (; *text; ++text)
    if (*text < '0' || *text > '9') return false;
  return true;
}

// Whether the user's --device value picks this device (every device when there is none).
bool chosen(const char* device, const Candidate& c) {
  if (device == nullptr) return true;
  if (isIndex(device)) return std::to_string(c.index) == device;
  return containsIgnoringCase(c.desc.Description, device);
}

std::string named(const Candidate& c) { return "device " + std::to_string(c.index) + ", " + c.desc.Description; }

std::string deviceNames(const std::vector<Candidate>& all) {
  std::string names;
  for (const Candidate& c : all) names += (names.empty() ? "" : "; ") + std::to_string(c.index) + " " + c.desc.Description;
  return names.empty() ? "none" : names;
}

const char* typeName(gfx::AdapterType type) {
  switch (type) {
    case gfx::ADAPTER_TYPE_DISCRETE_GPU: return "discrete GPU";
    case gfx::ADAPTER_TYPE_INTEGRATED_GPU: return "integrated GPU";
    case gfx::ADAPTER_TYPE_CPU: return "CPU";
    default: return "other";
  }
}

[[noreturn]] void noDevice(const std::string& why) {
  printMessage("gfx: %s\n", why.c_str());
  osTellMissingPrerequisite(OsPrerequisite::GraphicsDevice, why.c_str());
  PANIC("Failed to aquire adapter\n");
}

}  // namespace

gfx::Adapter* chooseAdapter(gfx::Factory* factory, const DeviceChoice& choice, Window* window) {
  std::vector<Candidate> all = adaptersOf(factory);
  if (all.empty()) PANIC("Failed to aquire adapter\n");  // the backend has said why
  std::string skipped;
  const Candidate* taken = nullptr;
  for (const Candidate& c : all) {
    if (!chosen(choice.device, c)) continue;
    char whyNot[1024] = "";
    if (c.adapter->CheckRequirements(&choice.requirements, window, whyNot, sizeof(whyNot)) == gfx::kOk) {
      taken = &c;
      break;
    }
    skipped += (skipped.empty() ? "" : "; ") + named(c) + ": " + whyNot;
  }
  if (taken == nullptr && skipped.empty())
    noDevice(std::string("no device is named '") + choice.device + "' (the devices: " + deviceNames(all) + ")");
  if (taken == nullptr) noDevice("no device has everything needed: " + skipped);
  gfx::Adapter* adapter = taken->adapter;
  printMessage("Drawing with %s%s%s%s\n", named(*taken).c_str(), choice.device ? ", as asked" : "",
               skipped.empty() ? "" : "; skipped ", skipped.c_str());
  releaseAll(all, adapter);
  return adapter;
}

bool deviceNameFound(const char* device, std::string* error) {
  gfx::Factory* factory = nullptr;
  if (gfx::Failed(gfx::CreateFactory(0, &factory))) return true;  // start-up says what is missing
  std::vector<Candidate> all = adaptersOf(factory);
  bool found = false;
  for (const Candidate& c : all) found = found || chosen(device, c);
  if (!found) *error = std::string("--device: no device is named '") + device + "' (the devices: " + deviceNames(all) + ")";
  releaseAll(all);
  factory->Release();
  return found;
}

bool listDevices(const gfx::DeviceRequirements& requirements, std::string* text) {
  gfx::Factory* factory = nullptr;
  if (gfx::Failed(gfx::CreateFactory(0, &factory))) {
    *text = "no graphics driver to list the devices of\n";
    return false;
  }
  std::vector<Candidate> all = adaptersOf(factory);
  text->clear();
  bool takenYet = false;
  for (const Candidate& c : all) {
    char whyNot[1024] = "";
    const bool usable = c.adapter->CheckRequirements(&requirements, nullptr, whyNot, sizeof(whyNot)) == gfx::kOk;
    char line[2048];
    std::snprintf(line, sizeof(line), "%u: %s\n   %s, driver %s, %s %u.%u.%u\n   %s%s\n", c.index, c.desc.Description,
                  typeName(c.desc.Type), c.desc.Driver, c.desc.Api, c.desc.ApiVersion[0], c.desc.ApiVersion[1],
                  c.desc.ApiVersion[2], usable ? "usable" : "not usable: ",
                  usable ? (takenYet ? "" : ", the one taken unless another is asked for") : whyNot);
    takenYet = takenYet || usable;
    *text += line;
  }
  if (all.empty()) *text = "no devices\n";
  releaseAll(all);
  factory->Release();
  return true;
}
