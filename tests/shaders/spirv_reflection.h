#pragma once
// Reads the JSON reflection that spirv-cross prints for a SPIR-V module, for the layout tests.
#include <map>
#include <memory>
#include <string>
#include <vector>

struct JsonNode {
  enum class Kind { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  double number = 0;
  bool boolean = false;
  std::string text;
  std::vector<JsonNode> items;
  std::map<std::string, JsonNode> fields;

  // Member lookup that yields a Null node for a missing key, so tests can chain lookups.
  const JsonNode& operator[](const std::string& key) const;
  const JsonNode& operator[](size_t index) const;
  bool has(const std::string& key) const { return fields.count(key) != 0; }
  int asInt() const { return static_cast<int>(number); }
};

// Parses JSON text; on malformed input returns false and describes the fault in error.
bool parseJson(const std::string& text, JsonNode& out, std::string& error);

// Runs `<spirvCross> <spvPath> --reflect` and parses its output; error says what went wrong.
bool reflectSpirv(const std::string& spirvCross, const std::string& spvPath, JsonNode& out,
                  std::string& error);
