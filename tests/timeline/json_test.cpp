// The JSON reader: value kinds, packed number arrays, lookup, and every fatal stop.
#include "timeline/json.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/fatal.h"

namespace {

// Parses `text` from a heap buffer of exactly its length (no terminator), so that
// AddressSanitizer catches any read past the input.
struct Parsed {
  JsonDocument document;
  bool found = false;
  explicit Parsed(const std::string& text) {
    std::vector<char> buffer(text.begin(), text.end());
    found = parseJson(&document, buffer.data(), uint32_t(buffer.size()), 0);
  }
  ~Parsed() { freeJsonDocument(&document); }
  const JsonValue& root() const { return document.root; }
};

void parseOnly(const std::string& text) { Parsed parsed(text); }

float floatOf(uint32_t word) {
  float value;
  memcpy(&value, &word, sizeof(value));
  return value;
}

const JsonValue& member(const JsonValue& object, const char* key) {
  return *findMember(object.object, key);
}

TEST(JsonReader, ParsesEveryValueKind) {
  Parsed parsed("{\"s\":\"text\",\"i\":-42,\"f\":2.5,\"t\":true,\"n\":null,\"b\":false}");
  ASSERT_TRUE(parsed.found);
  ASSERT_EQ(parsed.root().type, JsonValueType::Object);
  EXPECT_EQ(parsed.root().object->count, 6u);

  const JsonValue& s = member(parsed.root(), "s");
  ASSERT_EQ(s.type, JsonValueType::String);
  EXPECT_STREQ(s.string.characters, "text");
  EXPECT_EQ(s.string.length, 4u);

  const JsonValue& i = member(parsed.root(), "i");
  ASSERT_EQ(i.type, JsonValueType::Number);
  EXPECT_EQ(i.number.numberKind, TokenKind::IntNumber);
  EXPECT_EQ(int32_t(i.number.word), -42);

  const JsonValue& f = member(parsed.root(), "f");
  EXPECT_EQ(f.number.numberKind, TokenKind::FloatNumber);
  EXPECT_EQ(floatOf(f.number.word), 2.5f);

  EXPECT_EQ(member(parsed.root(), "t").boolean, 1);
  EXPECT_EQ(member(parsed.root(), "b").boolean, 0);
  EXPECT_EQ(member(parsed.root(), "n").type, JsonValueType::Null);
}

TEST(JsonReader, NumberTextFollowsTheDecimalPointRule) {
  // "-" alone is the integer 0; "1." and "-.5" are floats.
  Parsed parsed("[-,1.,-.5,7,\"x\"]");
  ASSERT_TRUE(parsed.found);
  const JsonArray* array = parsed.root().array;
  ASSERT_EQ(array->kind, ArrayKind::Mixed);
  ASSERT_EQ(array->count, 5u);
  EXPECT_EQ(array->values[0].number.numberKind, TokenKind::IntNumber);
  EXPECT_EQ(array->values[0].number.word, 0u);
  EXPECT_EQ(floatOf(array->values[1].number.word), 1.0f);
  EXPECT_EQ(floatOf(array->values[2].number.word), -0.5f);
  EXPECT_EQ(array->values[3].number.word, 7u);
  EXPECT_STREQ(array->values[4].string.characters, "x");
}

TEST(JsonReader, NumbersAtTheRangeLimitsConvertExactly) {
  // Integers span the signed and the unsigned 32-bit range: the writer prints
  // unsigned values, the reader keeps 32-bit words.
  Parsed parsed("[-2147483648,2147483647,4294967295,-0]");
  ASSERT_EQ(parsed.root().array->kind, ArrayKind::Int);
  EXPECT_EQ(int32_t(parsed.root().array->words[0]), INT32_MIN);
  EXPECT_EQ(int32_t(parsed.root().array->words[1]), INT32_MAX);
  EXPECT_EQ(parsed.root().array->words[2], UINT32_MAX);
  EXPECT_EQ(parsed.root().array->words[3], 0u);
  // Conversion goes through double and rounds once to single precision.
  Parsed rounded("[0.1,-208.839996,0.025000]");
  ASSERT_EQ(rounded.root().array->kind, ArrayKind::Float);
  EXPECT_EQ(floatOf(rounded.root().array->words[0]), 0.1f);
  EXPECT_EQ(floatOf(rounded.root().array->words[1]), -208.84f);
  EXPECT_EQ(floatOf(rounded.root().array->words[2]), 0.025f);
}

TEST(JsonReader, ArraysArePackedOnlyWhenEveryElementHasOneNumberKind) {
  Parsed ints("[1,2]");
  EXPECT_EQ(ints.root().array->kind, ArrayKind::Int);
  EXPECT_EQ(ints.root().array->count, 2u);
  EXPECT_EQ(ints.root().array->words[1], 2u);

  Parsed floats("[0.5, 1.5 ,2.5]");
  EXPECT_EQ(floats.root().array->kind, ArrayKind::Float);
  EXPECT_EQ(floatOf(floats.root().array->words[2]), 2.5f);

  Parsed mixed("[1.5,2]");
  EXPECT_EQ(mixed.root().array->kind, ArrayKind::Mixed);
  EXPECT_EQ(mixed.root().array->count, 2u);

  // A trailing comma defeats the look-ahead: one Number node.
  Parsed trailing("[1,]");
  ASSERT_EQ(trailing.root().array->kind, ArrayKind::Mixed);
  ASSERT_EQ(trailing.root().array->count, 1u);
  EXPECT_EQ(trailing.root().array->values[0].type, JsonValueType::Number);

  Parsed empty("[]");
  EXPECT_EQ(empty.root().array->kind, ArrayKind::Mixed);
  EXPECT_EQ(empty.root().array->count, 0u);

  Parsed nested("[[1],[2.0],{}]");
  ASSERT_EQ(nested.root().array->count, 3u);
  EXPECT_EQ(nested.root().array->values[0].array->kind, ArrayKind::Int);
  EXPECT_EQ(nested.root().array->values[1].array->kind, ArrayKind::Float);
  EXPECT_EQ(nested.root().array->values[2].object->count, 0u);
}

TEST(JsonReader, ObjectsAcceptATrailingCommaAndKeepRepeatedKeys) {
  Parsed trailing("{\"a\":1,}");
  ASSERT_TRUE(trailing.found);
  EXPECT_EQ(trailing.root().object->count, 1u);

  Parsed repeated("{\"k\":1,\"k\":2,\"kk\":3}");
  EXPECT_EQ(repeated.root().object->count, 3u);
  EXPECT_EQ(member(repeated.root(), "k").number.word, 1u);
  EXPECT_EQ(member(repeated.root(), "kk").number.word, 3u);
  EXPECT_FATAL(member(repeated.root(), "K"), "ASSERT: Failed to find value with key \"K\"");
  EXPECT_FATAL(member(repeated.root(), "kkk"), "ASSERT: Failed to find value with key \"kkk\"");
}

TEST(JsonReader, StringsHaveNoEscapesAndCountLines) {
  // A backslash is an ordinary character, so the string ends at the quote after it.
  Parsed backslash("[\"a\\\"]");
  ASSERT_EQ(backslash.root().array->count, 1u);
  EXPECT_STREQ(backslash.root().array->values[0].string.characters, "a\\");
  EXPECT_FATAL(parseOnly("[\"a\\\"b\"]"), "PANIC: Undefine token at line 1");

  Parsed multiline("[\"one\ntwo\"]");
  EXPECT_STREQ(multiline.root().array->values[0].string.characters, "one\ntwo");
  // The newline inside the string counts: the error is reported on line 3.
  EXPECT_FATAL(parseOnly("[\"one\ntwo\",\n x]"), "PANIC: Undefine token at line 3");
}

TEST(JsonReader, NothingToParseReturnsFalse) {
  JsonDocument document;
  EXPECT_FALSE(parseJson(&document, nullptr, 10, 0));
  char text[] = "{}";
  EXPECT_FALSE(parseJson(&document, text, 0, 0));
  EXPECT_FALSE(Parsed(" \n\t\r").found);
  EXPECT_FALSE(Parsed(std::string(3, '\0')).found);
  EXPECT_FALSE(Parsed("]").found);
  EXPECT_FALSE(Parsed(",1").found);
}

TEST(JsonReader, PrintsProgressAndHonoursTheTokenHint) {
  testing::internal::CaptureStdout();
  JsonDocument document;
  char text[] = "{\"a\":[1,2]}";
  ASSERT_TRUE(parseJson(&document, text, uint32_t(strlen(text)), 64));
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(output, "Lexing JSON buffer\n\nParsing JSON token stream. Token count: 9\n\n");
  freeJsonDocument(&document);
  EXPECT_EQ(document.root.type, JsonValueType::Null);
}

TEST(JsonReaderFatal, LexerErrorsNameTheirLine) {
  EXPECT_FATAL(parseOnly("[1.2.3]"), "PANIC: Invalid token at line 1");
  EXPECT_FATAL(parseOnly("\n\n[\"abc"), "PANIC: Incomplete string at line 3");
  EXPECT_FATAL(parseOnly("[\""), "PANIC: Incomplete string at line 1");
  EXPECT_FATAL(parseOnly("[nul"), "PANIC: Undefine token at line 1");
  EXPECT_FATAL(parseOnly("[nulL]"), "PANIC: Undefine token at line 1");
  EXPECT_FATAL(parseOnly("[fals"), "PANIC: Undefine token at line 1");
  EXPECT_FATAL(parseOnly("[1e5]"), "PANIC: Undefine token at line 1");
  EXPECT_FATAL(parseOnly("[+1]"), "PANIC: Undefine token at line 1");
  EXPECT_FATAL(parseOnly("\n[.5]"), "PANIC: Undefine token at line 2");
}

TEST(JsonReaderFatal, NumbersOutOfRangeAreRefused) {
  EXPECT_FATAL(parseOnly("[4294967296]"), "PANIC: Integer out of the 32-bit range at line 1");
  EXPECT_FATAL(parseOnly("\n[-2147483649]"), "PANIC: Integer out of the 32-bit range at line 2");
  EXPECT_FATAL(parseOnly("[99999999999999999999999]"), "PANIC: Integer out of the 32-bit range");
  std::string huge = "[" + std::string(40, '9') + ".0]";
  EXPECT_FATAL(parseOnly(huge), "PANIC: Float out of the single-precision range at line 1");
  EXPECT_FATAL(parseOnly("[-" + std::string(400, '9') + ".]"), "PANIC: Float out of the single");
}

TEST(JsonReaderFatal, BrokenStructuresStopWithTheirMissingMessage) {
  EXPECT_FATAL(parseOnly("{\"a\" 1}"), "PANIC: Missing colon \\(:\\) token");
  EXPECT_FATAL(parseOnly("{,\"a\":1}"), "PANIC: Missing }");
  EXPECT_FATAL(parseOnly("{\"a\":1 \"b\":2}"), "PANIC: Missing }");
  EXPECT_FATAL(parseOnly("[1 2]"), "PANIC: Missing ]");
  EXPECT_FATAL(parseOnly("[1.0 2.0]"), "PANIC: Missing ]");
  EXPECT_FATAL(parseOnly("[,]"), "PANIC: Missing ]");
  // A member without a value.
  EXPECT_FATAL(parseOnly("{\"a\":}"), "PANIC: Missing value of key \"a\"");
  EXPECT_FATAL(parseOnly("{\"a\":,\"b\":1}"), "PANIC: Missing value of key \"a\"");
}

TEST(JsonReaderFatal, RunningOutOfTokensIsAnUnfinishedStructure) {
  EXPECT_FATAL(parseOnly("{"), "PANIC: Missing }");
  EXPECT_FATAL(parseOnly("{\"a\":1"), "PANIC: Missing }");
  EXPECT_FATAL(parseOnly("{\"a\":1,"), "PANIC: Missing }");
  EXPECT_FATAL(parseOnly("{\"a\""), "PANIC: Missing colon");
  EXPECT_FATAL(parseOnly("{\"a\":"), "PANIC: Missing value of key \"a\"");
  EXPECT_FATAL(parseOnly("["), "PANIC: Missing ]");
  EXPECT_FATAL(parseOnly("[1"), "PANIC: Missing ]");
  EXPECT_FATAL(parseOnly("[1.0,"), "PANIC: Missing ]");
  EXPECT_FATAL(parseOnly("[[1,2],{}"), "PANIC: Missing ]");
}

TEST(JsonReaderFatal, DeepNestingIsRefusedBeforeTheStackRunsOut) {
  std::string deepest(kJsonMaxDepth, '[');
  deepest += std::string(kJsonMaxDepth, ']');
  Parsed accepted(deepest);
  EXPECT_TRUE(accepted.found);
  EXPECT_FATAL(parseOnly(std::string(100000, '[')), "PANIC: JSON nested deeper than 256 levels");
}

}  // namespace
