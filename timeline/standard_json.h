#pragma once
// A reader of standard JSON (RFC 8259) for timeline files that people write by hand:
// exponents, every escape, any of the four whitespace characters, a UTF-8 byte-order mark.
// Unlike the embedded text's reader (timeline/json.h) it never stops the program: a text it
// cannot read gives the line and column of the fault and a sentence saying what is wrong.
//
// Lines and columns count from 1; a column counts characters (UTF-8 sequences), not bytes,
// as editors show them. The mark at the start is not counted.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct TextPosition {
  uint32_t line = 0;  // 0: no position (the fault is not at a place in the text)
  uint32_t column = 0;
};

enum class JsonFileKind : uint8_t { Null, Bool, Number, String, Array, Object };

struct JsonFileMember;

struct JsonFileValue {
  JsonFileKind kind = JsonFileKind::Null;
  TextPosition position;  // of the value's first character
  bool boolean = false;
  double number = 0.0;  // the nearest double; beyond its range the infinity of that sign
  std::string text;     // a string's characters, escapes decoded, as UTF-8 (may hold NUL)
  std::vector<JsonFileValue> elements;        // an array's, in order
  std::vector<JsonFileMember> members;   // an object's, in text order; repeated names all kept
};

struct JsonFileMember {
  std::string name;
  TextPosition namePosition;
  JsonFileValue value;
};

struct TextError {
  TextPosition position;
  std::string message;  // one sentence, no trailing newline
};

// Arrays and objects nested deeper than this are refused (the reader recurses per level).
inline constexpr uint32_t kStandardJsonMaxDepth = 256;

// Reads `length` bytes of `text` as one JSON value. True with *root filled; false with
// *error filled (root is then left empty).
bool readStandardJson(const char* text, size_t length, JsonFileValue* root, TextError* error);
