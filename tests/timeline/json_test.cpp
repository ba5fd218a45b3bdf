// The JSON reader: value kinds, packed number arrays, lookup, and every fatal stop.
#include "timeline/json.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/fatal.h"

namespace {

// Parses from a heap buffer of exactly the text's length (no terminator), so that
// AddressSanitizer catches any read past the input.
struct Parsed {
  JsonDocument document;
  bool found;
  explicit Parsed(const std::string& text) {
    std::vector<char> buffer(text.begin(), text.end());
    found = parseJson(&document, buffer.data(), uint32_t(buffer.size()), 0);
  }
  ~Parsed() { freeJsonDocument(&document); }
  const JsonArray* array() const { return document.root.array; }
  const JsonValue& operator[](const char* key) const { return *findMember(document.root.object, key); }
};

void parseOnly(const std::string& text) { Parsed parsed(text); }

float floatOf(uint32_t word) {
  float value;
  memcpy(&value, &word, sizeof(value));
  return value;
}

TEST(JsonReader, ValueKindsAndNumberText) {
  Parsed p("{\"s\":\"a\\\",\"i\":-42,\"f\":-.5,\"g\":1.,\"m\":-,\"t\":true,\"n\":null,\"b\":false,}");
  ASSERT_TRUE(p.found);
  EXPECT_EQ(p.document.root.object->count, 8u);
  // No escapes: the backslash is a character and the next quote ends the string.
  EXPECT_STREQ(p["s"].string.characters, "a\\");
  EXPECT_EQ(p["s"].string.length, 2u);
  EXPECT_EQ(p["i"].number.numberKind, TokenKind::IntNumber);
  EXPECT_EQ(int32_t(p["i"].number.word), -42);
  EXPECT_EQ(p["f"].number.numberKind, TokenKind::FloatNumber);
  EXPECT_EQ(floatOf(p["f"].number.word), -0.5f);
  EXPECT_EQ(floatOf(p["g"].number.word), 1.0f);
  EXPECT_EQ(p["m"].number.word, 0u);  // "-" alone is the integer 0
  EXPECT_EQ(p["t"].boolean, 1);
  EXPECT_EQ(p["b"].boolean, 0);
  EXPECT_EQ(p["n"].type, JsonValueType::Null);

  // Integers span both 32-bit ranges (the writer prints unsigned values); floats
  // go through double and round once.
  Parsed limits("[-2147483648,4294967295,2147483647]");
  EXPECT_EQ(int32_t(limits.array()->words[0]), INT32_MIN);
  EXPECT_EQ(limits.array()->words[1], UINT32_MAX);
  Parsed floats("[0.1,-208.839996]");
  EXPECT_EQ(floatOf(floats.array()->words[0]), 0.1f);
  EXPECT_EQ(floatOf(floats.array()->words[1]), -208.84f);
}

TEST(JsonReader, ArraysArePackedOnlyWhenEveryElementHasOneNumberKind) {
  EXPECT_EQ(Parsed("[1,2]").array()->kind, ArrayKind::Int);
  EXPECT_EQ(Parsed("[0.5, 1.5 ,2.5]").array()->kind, ArrayKind::Float);
  EXPECT_EQ(Parsed("[1.5,2]").array()->kind, ArrayKind::Mixed);
  EXPECT_EQ(Parsed("[]").array()->count, 0u);
  // A trailing comma defeats the look-ahead: one Number node.
  Parsed trailing("[1,]");
  ASSERT_EQ(trailing.array()->kind, ArrayKind::Mixed);
  ASSERT_EQ(trailing.array()->count, 1u);
  EXPECT_EQ(trailing.array()->values[0].type, JsonValueType::Number);
}

TEST(JsonReader, LookupFindsTheFirstOfRepeatedKeys) {
  Parsed p("{\"k\":1,\"k\":2,\"kk\":3}");
  EXPECT_EQ(p.document.root.object->count, 3u);
  EXPECT_EQ(p["k"].number.word, 1u);
  EXPECT_FATAL(p["K"], "ASSERT: Failed to find value with key \"K\"");
  EXPECT_FATAL(p["kkk"], "ASSERT: Failed to find value with key \"kkk\"");
}

TEST(JsonReader, NothingToParseReturnsFalseAfterTheProgressMessages) {
  JsonDocument document;
  char text[] = "{}";
  EXPECT_FALSE(parseJson(&document, nullptr, 2, 0));
  EXPECT_FALSE(parseJson(&document, text, 0, 0));
  EXPECT_FALSE(Parsed(std::string(" \n\t\r\0", 5)).found);
  EXPECT_FALSE(Parsed("]").found);

  testing::internal::CaptureStdout();
  Parsed p("{\"a\":[1,2]}");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Lexing JSON buffer\n\nParsing JSON token stream. Token count: 9\n\n");
}

TEST(JsonReaderFatal, LexerErrorsNameTheirLine) {
  EXPECT_FATAL(parseOnly("[1.2.3]"), "PANIC: Invalid token at line 1");
  EXPECT_FATAL(parseOnly("\n\n[\"abc"), "PANIC: Incomplete string at line 3");
  EXPECT_FATAL(parseOnly("[\""), "PANIC: Incomplete string at line 1");
  // Newlines inside strings count.
  EXPECT_FATAL(parseOnly("[\"one\ntwo\",\n x]"), "PANIC: Undefine token at line 3");
  for (const char* text : {"[nul", "[fals", "[nulL]", "[1e5]", "[+1]", "[.5]", "[\"a\\\"b\"]"})
    EXPECT_FATAL(parseOnly(text), "PANIC: Undefine token at line 1") << text;
  EXPECT_FATAL(parseOnly("[4294967296]"), "PANIC: Integer out of the 32-bit range at line 1");
  EXPECT_FATAL(parseOnly("[-2147483649]"), "PANIC: Integer out of the 32-bit range");
  EXPECT_FATAL(parseOnly("[" + std::string(40, '9') + ".0]"),
               "PANIC: Float out of the single-precision range at line 1");
  EXPECT_FATAL(parseOnly("[-" + std::string(400, '9') + ".]"), "PANIC: Float out of the single");
}

TEST(JsonReaderFatal, BrokenOrUnfinishedStructuresStopWithTheirMissingMessage) {
  for (const char* text : {"{\"a\" 1}", "{\"a\""})
    EXPECT_FATAL(parseOnly(text), "PANIC: Missing colon \\(:\\) token") << text;
  for (const char* text : {"{,\"a\":1}", "{\"a\":1 \"b\":2}", "{", "{\"a\":1", "{\"a\":1,"})
    EXPECT_FATAL(parseOnly(text), "PANIC: Missing }") << text;
  for (const char* text : {"[1 2]", "[1.0 2.0]", "[,]", "[", "[1", "[1.0,", "[[1,2],{}"})
    EXPECT_FATAL(parseOnly(text), "PANIC: Missing ]") << text;
  for (const char* text : {"{\"a\":}", "{\"a\":,\"b\":1}", "{\"a\":"})
    EXPECT_FATAL(parseOnly(text), "PANIC: Missing value of key \"a\"") << text;

  std::string deepest = std::string(kJsonMaxDepth, '[') + std::string(kJsonMaxDepth, ']');
  EXPECT_TRUE(Parsed(deepest).found);
  EXPECT_FATAL(parseOnly(std::string(100000, '[')), "PANIC: JSON nested deeper than 256 levels");
}

}  // namespace
