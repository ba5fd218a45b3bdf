#pragma once
// The program's own JSON reader: a lexer that turns the text into tokens and a
// recursive-descent parser that turns the tokens into a tree. It reads the subset of
// JSON that the timeline writer produces (no escapes, no exponents) and treats every
// syntax error as fatal.
//
// Numbers keep the kind of their text: with a decimal point they are floats, without
// one 32-bit integers (-2^31 up to 2^32 - 1, kept as the 32-bit word). Arrays made only of integers, or only of floats, are
// stored packed as 32-bit words; every other array holds value nodes.
#include <cstdint>

#include "base/containers.h"

enum class TokenKind : uint32_t {
  FloatNumber = 0, IntNumber = 1, String = 2, True = 3, False = 4, Null = 5,  // values
  ObjectBegin = 6, ObjectEnd = 7, ArrayBegin = 8, ArrayEnd = 9, Comma = 10, Colon = 11,  // structure
};

struct Token {
  TokenKind kind;
  union {
    const char* string;  // String: first character inside the input text
    int32_t intNumber;   // IntNumber (text above 2^31 - 1 wraps, as its word)
    float floatNumber;   // FloatNumber
    uint32_t word;       // the 32-bit payload of either number kind
  };
  uint32_t length;  // String: characters between the quotes
  uint32_t line;    // line counter after this token and its trailing whitespace
  uint32_t end;     // input position after this token and its trailing whitespace
};
static_assert(sizeof(void*) != 8 || sizeof(Token) == 32);

enum class JsonValueType : uint32_t { String = 0, Number = 1, Object = 2, Array = 3, Bool = 4, Null = 5 };

enum class ArrayKind : uint32_t { Mixed = 0, Int = 1, Float = 2 };

struct JsonObject;
struct JsonArray;

struct JsonValue {
  JsonValueType type;
  union {
    struct {
      char* characters;  // owned, NUL-terminated copy
      uint64_t length;
    } string;
    struct {
      TokenKind numberKind;  // FloatNumber or IntNumber
      uint32_t word;         // float bits or the integer
    } number;
    JsonObject* object;  // owned
    JsonArray* array;    // owned
    uint8_t boolean;
  };
};
static_assert(sizeof(JsonValue) == 24);

struct JsonMember {
  JsonValue key;  // always a String
  JsonValue value;
};
static_assert(sizeof(JsonMember) == 48);

struct JsonObject {
  uint32_t count = 0;
  DynamicArray<JsonMember> members;  // text order; repeated keys all stay
};

struct JsonArray {
  ArrayKind kind = ArrayKind::Mixed;
  uint32_t count = 0;
  DynamicArray<JsonValue> values;  // Mixed
  DynamicArray<uint32_t> words;    // Int and Float: the tokens' 32-bit payloads
};

struct JsonDocument {
  JsonValue root{JsonValueType::Null, {}};
};

// Arrays and objects nested deeper than this are refused: the parser recurses once per
// level, and the timeline needs four.
constexpr uint32_t kJsonMaxDepth = 256;

// Lexes and parses `length` characters of `text` into `document`. Returns false, doing
// nothing, when text is null or length is 0; otherwise prints the two progress
// messages and returns whether a value begins at the first token (false for a text
// with no token, or one that starts with a token that begins no value). The text is
// only read, never past `length`. A non-zero tokenCapacityHint reserves that many
// tokens up front. Syntax errors are fatal.
bool parseJson(JsonDocument* document, const char* text, uint32_t length,
               uint32_t tokenCapacityHint);

// Frees everything the document owns and leaves its root a Null value.
void freeJsonDocument(JsonDocument* document);

// The value of the first member, in text order, whose key equals `key` byte for byte.
// A missing key is fatal.
const JsonValue* findMember(const JsonObject* object, const char* key);
