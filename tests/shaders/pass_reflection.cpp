#include "tests/shaders/pass_reflection.h"

#include <map>

#include "platform/gfx.h"

namespace {

struct Bound {
  std::string section;  // the reflection's: "ubos", "ssbos", "images", "separate_images", "separate_samplers"
  int binding;
  bool readOnly;
};

Bound expectedFor(const PassDescription& pass, uint32_t slot) {
  const int reg = int(registerOf(pass, slot));
  switch (pass.slots[slot].kind) {
    case SlotKind::Texture:
      return {"separate_images", int(gfx::kBindingSrvBase) + reg, false};
    case SlotKind::Buffer:
      return {"ssbos", int(gfx::kBindingSrvBase) + reg, true};
    case SlotKind::StorageTexture:
      return {"images", int(gfx::kBindingUavBase) + reg, false};
    case SlotKind::StorageBuffer:
      return {"ssbos", int(gfx::kBindingUavBase) + reg, false};
    case SlotKind::Constants:
      break;
  }
  return {"ubos", int(gfx::kBindingCbvBase) + reg, false};
}

// The shader's resources by name.
std::map<std::string, Bound> reflectedResources(const JsonNode& reflection) {
  std::map<std::string, Bound> resources;
  for (const char* section : {"ubos", "ssbos", "images", "separate_images", "separate_samplers"})
    for (const JsonNode& r : reflection[section].items)
      resources[r["name"].text] = {section, r["binding"].asInt(), r["readonly"].boolean};
  return resources;
}

std::string describe(const Bound& b) {
  return b.section + " binding " + std::to_string(b.binding) + (b.readOnly ? " (read only)" : "");
}

}  // namespace

std::vector<std::string> differencesFromReflection(const PassDescription& pass, const JsonNode& reflection,
                                                   const std::vector<std::string>& mayBeUnused) {
  std::vector<std::string> differences;
  std::map<std::string, Bound> shader = reflectedResources(reflection);
  auto expect = [&](const std::string& name, const Bound& expected, bool optional) {
    auto found = shader.find(name);
    if (found == shader.end()) {
      if (!optional) differences.push_back(std::string(pass.name) + ": " + name + " is not bound by the shader");
      return;
    }
    const Bound& actual = found->second;
    if (actual.section != expected.section || actual.binding != expected.binding ||
        (expected.section == "ssbos" && actual.readOnly != expected.readOnly))
      differences.push_back(std::string(pass.name) + ": " + name + " is " + describe(actual) + " in the shader, " +
                            describe(expected) + " in the description");
    shader.erase(found);
  };
  for (uint32_t i = 0; i < pass.slots.size(); ++i) {
    const std::string name = pass.slots[i].name;
    bool optional = false;
    for (const std::string& unused : mayBeUnused) optional = optional || unused == name;
    expect(name, expectedFor(pass, i), optional);
  }
  for (uint32_t s = 0; s < pass.samplers.size(); ++s)
    expect(pass.samplers[s].name, {"separate_samplers", int(gfx::kBindingSamplerBase + s), false}, false);
  for (const auto& [name, bound] : shader)
    differences.push_back(std::string(pass.name) + ": the shader binds " + name + " (" + describe(bound) +
                          "), no slot describes it");
  const bool pushConstants = !reflection["push_constants"].items.empty();
  if (pushConstants != pass.rootConstants)
    differences.push_back(std::string(pass.name) + (pass.rootConstants ? ": root constants the shader does not read"
                                                                       : ": the shader reads root constants"));
  return differences;
}
