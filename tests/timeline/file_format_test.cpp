// Timeline files: standard JSON as people write it by hand is read as the numbers and
// names it says; every fault gives its line, column and a sentence, never a stop.
#include "timeline/file_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "timeline/easing.h"
#include "timeline/writer.h"

namespace {

constexpr uint32_t kFrames = 100;
const TimelineTrackRule kTracks[] = {
    {"SM::NumPart", TrackType::UINT}, {"CM::Pos", TrackType::FLOAT3}, {"CM::Bright", TrackType::FLOAT}};

Timeline* load(const std::string& text, std::string* error = nullptr, bool knownTracksOnly = true) {
  TimelineFileRules rules;
  rules.frameCount = kFrames;
  if (knownTracksOnly) rules.tracks = kTracks;
  TextError fault;
  Timeline* timeline = loadTimelineFile(text.data(), text.size(), rules, &fault);
  if (error != nullptr)
    *error = std::to_string(fault.position.line) + ":" + std::to_string(fault.position.column) + ": " + fault.message;
  return timeline;
}

// "line:column: message" of a text the loader must refuse.
std::string refusal(const std::string& text, bool knownTracksOnly = true) {
  std::string error;
  Timeline* timeline = load(text, &error, knownTracksOnly);
  EXPECT_EQ(timeline, nullptr) << text;
  destroyTimeline(timeline);
  return error;
}

std::string bright(const std::string& keys) { return "{\"CM::Bright\":{\"type\":\"FLOAT\",\"frames\":[" + keys + "]}}"; }

TEST(TimelineFile, ReadsStandardJsonAsItsNumbersSay) {
  // A byte-order mark, every whitespace, exponents, escapes in names and members in any order.
  const std::string text =
      "\xEF\xBB\xBF{\r\n\t\"__bookmarks__\" : [ 0 , 5e1, 9.9e1 ],\n"
      "  \"CM::\\u0042right\": {\"frames\": [\n"
      "    {\"value\": 1, \"easing\": \"Linear\", \"frame\": 0},\n"
      "    {\"frame\": 1E1, \"easing\": \"None\", \"value\": -2.5e-1}], \"type\": \"FLOAT\"},\n"
      "  \"SM::NumPart\": {\"type\": \"UINT\", \"frames\": [{\"frame\": 3.0, \"easing\": \"None\", \"value\": 4294967295}]},\n"
      "  \"CM::Pos\": {\"type\": \"FLOAT3\", \"frames\": [{\"frame\": 99, \"easing\": \"BounceOut\", \"value\": [1, -0, 3.4e38]}]},\n"
      "  \"CM::Bright\" \n";
  std::string error;
  // The last member is unfinished on purpose: that is an error at its end...
  EXPECT_EQ(load(text, &error), nullptr);
  EXPECT_EQ(error, "9:1: expected ':' after the member name, found end of the text");
  // ...and without it everything loads.
  Timeline* timeline = load(text.substr(0, text.rfind(",")) + "}", &error);
  ASSERT_NE(timeline, nullptr) << error;
  ASSERT_EQ(timeline->bookmarks.count, 3u);
  EXPECT_EQ(timeline->bookmarks[1], 50u);
  EXPECT_EQ(timeline->bookmarks[2], 99u);
  ASSERT_EQ(timeline->tracks.count, 3u);
  const Track* b = timeline->tracks[0];
  EXPECT_STREQ(b->name, "CM::Bright");
  EXPECT_EQ(b->keys[0]->value.floatValue, 1.0f);  // the number 1, not the bit pattern 1
  EXPECT_EQ(b->keys[0]->easing, findEasingIndex("Linear"));
  EXPECT_EQ(b->keys[10]->value.floatValue, -0.25f);
  EXPECT_EQ(timeline->tracks[1]->keys[3]->value.uintValue, 4294967295u);
  const Keyframe* pos = timeline->tracks[2]->keys[99];
  EXPECT_EQ(pos->value.float3[0], 1.0f);
  EXPECT_TRUE(std::signbit(pos->value.float3[1]));
  EXPECT_EQ(pos->value.float3[2], 3.4e38f);
  destroyTimeline(timeline);
}

TEST(TimelineFile, SyntaxFaultsGiveLineAndColumnInCharacters) {
  EXPECT_EQ(refusal(""), "1:1: the text holds no JSON value");
  EXPECT_EQ(refusal("\n  {\"a\" 1}"), "2:8: expected ':' after the member name, found '1'");
  // Columns count characters: the two-byte "é" is one.
  EXPECT_EQ(refusal("{\"é\":[1,,2]}"), "1:9: expected a value, found ','");
  EXPECT_EQ(refusal("{\"a\":[1 2]}"), "1:9: expected ',' or ']' after an element, found '2'");
  EXPECT_EQ(refusal("{\"a\":1,}"), "1:8: expected a member name in double quotes, found '}'");
  EXPECT_EQ(refusal("{} x"), "1:4: unexpected 'x' after the JSON value");
  EXPECT_EQ(refusal("{\"a\":01}"), "1:6: a number cannot have a leading zero");
  EXPECT_EQ(refusal("{\"a\":1.}"), "1:8: expected a digit after the decimal point, found '}'");
  EXPECT_EQ(refusal("{\"a\":1e}"), "1:8: expected a digit in the exponent, found '}'");
  EXPECT_EQ(refusal("{\"a\":+1}"), "1:6: expected a value, found '+'");
  EXPECT_EQ(refusal("{\"a\":nan}"), "1:6: expected a value, found an unknown word (only true, false and null)");
  EXPECT_EQ(refusal("{\"a\":tru"), "1:6: expected a value, found an unknown word (only true, false and null)");
  EXPECT_EQ(refusal("{\"a\":\"x"), "1:6: unterminated string");
  EXPECT_EQ(refusal("{\"a\":\"x\ny\"}"), "1:8: unterminated string (a line break inside it must be written \\n)");
  EXPECT_EQ(refusal("{\"a\\q\":1}"), "1:4: unknown escape \\q (JSON knows \\\" \\\\ \\/ \\b \\f \\n \\r \\t \\uXXXX)");
  EXPECT_EQ(refusal("{\"\\ud800\":1}"), "1:3: a \\u escape holds a high surrogate without its low surrogate");
  EXPECT_EQ(refusal("{\"\\udc00\":1}"), "1:3: a \\u escape holds a lone low surrogate");
  EXPECT_EQ(refusal("{\"\\u12g4\":1}"), "1:7: expected four hexadecimal digits after \\u, found 'g'");
  EXPECT_EQ(refusal("{\"\xC0\xAF\":1}"), "1:3: invalid UTF-8 in a string");  // overlong '/'
  EXPECT_EQ(refusal("{\"\xED\xA0\x80\":1}"), "1:3: invalid UTF-8 in a string");  // a surrogate
  EXPECT_EQ(refusal(std::string("{\"a\":\"\x01\"}")), "1:7: a control character inside a string must be written as an escape");
  EXPECT_EQ(refusal(std::string(300, '[')), "1:257: arrays and objects nested deeper than 256 levels");
  EXPECT_EQ(refusal(std::string("{\0}", 3)), "1:2: expected a member name in double quotes, found character 0x00");
}

TEST(TimelineFile, TimelineRulesNameTheFaultyPlace) {
  const std::string key = "{\"frame\":0,\"easing\":\"None\",\"value\":1}";
  EXPECT_EQ(refusal("[1]"), "1:1: the timeline is an array, not an object of tracks and \"__bookmarks__\"");
  EXPECT_EQ(refusal("{\"CM::Brite\":{\"type\":\"FLOAT\",\"frames\":[]}}"),
            "1:2: unknown track \"CM::Brite\" (the tracks are SM::NumPart, CM::Pos, CM::Bright)");
  EXPECT_EQ(refusal("{\"CM::Bright\":{\"type\":\"UINT\",\"frames\":[]}}"), "1:23: track \"CM::Bright\" is FLOAT, not UINT");
  EXPECT_EQ(refusal("{\"CM::Bright\":{\"type\":\"REAL\",\"frames\":[]}}"),
            "1:23: unknown type \"REAL\" (FLOAT, FLOAT3, UINT or INVALID)");
  EXPECT_EQ(refusal("{\"note\":\"hi\"}"),
            "1:9: member \"note\" is a string, not a track (an object with \"type\" and \"frames\")");
  EXPECT_EQ(refusal("{\"CM::Bright\":{\"type\":\"FLOAT\"}}"), "1:15: track \"CM::Bright\" has no \"frames\"");
  EXPECT_EQ(refusal("{\"CM::Bright\":{\"type\":\"FLOAT\",\"frames\":[],\"x\":1}}"),
            "1:43: unknown member \"x\" in track \"CM::Bright\" (it holds \"type\", \"frames\")");
  EXPECT_EQ(refusal(bright("") + "x"), "1:44: unexpected 'x' after the JSON value");
  EXPECT_EQ(refusal("{\"CM::Bright\":{\"type\":\"FLOAT\",\"frames\":[]},\"CM::Bright\":{}}"),
            "1:44: \"CM::Bright\" appears twice (first at line 1)");
  EXPECT_EQ(refusal("{\"__bookmarks__\":[1,2.5]}"), "1:21: a bookmark must be a frame number (0 to 99)");
  EXPECT_EQ(refusal("{\"__bookmarks__\":[100]}"), "1:19: a bookmark must be a frame number (0 to 99)");
  EXPECT_EQ(refusal("{\"__bookmarks__\":{}}"), "1:18: \"__bookmarks__\" is an object, not an array of frame numbers");
  EXPECT_EQ(refusal(bright("1")), "1:41: a key is a number, not an object with \"frame\", \"easing\" and \"value\"");
  EXPECT_EQ(refusal(bright("{\"frame\":0,\"easing\":\"None\"}")), "1:41: a key has no \"value\"");
  EXPECT_EQ(refusal(bright("{\"frame\":100,\"easing\":\"None\",\"value\":1}")),
            "1:50: \"frame\" must be a frame number (0 to 99)");
  EXPECT_EQ(refusal(bright(key + "," + key)), "1:88: frame 0 has a key already");
  EXPECT_EQ(refusal(bright("{\"frame\":5,\"easing\":\"None\",\"value\":1}," + key)),
            "1:88: frame 0 comes after frame 5 (keys are in frame order)");
  EXPECT_EQ(refusal(bright("{\"frame\":0,\"easing\":\"linear\",\"value\":1}")),
            "1:61: unknown easing \"linear\"; the names are case-sensitive: \"Linear\"");
  EXPECT_EQ(refusal(bright("{\"frame\":0,\"easing\":\"None\\u0000\",\"value\":1}")),
            "1:61: unknown easing \"None\\u0000\" (None, Linear, QuadraticIn, ..., BounceInOut)");
  EXPECT_EQ(refusal(bright("{\"frame\":0,\"easing\":\"None\",\"value\":1e39}")),
            "1:76: the value of a FLOAT key is beyond the single-precision range (about 3.4e38)");
  EXPECT_EQ(refusal(bright("{\"frame\":0,\"easing\":\"None\",\"value\":[1]}")),
            "1:76: the value of a FLOAT key is an array, not a number");
  EXPECT_EQ(refusal("{\"SM::NumPart\":{\"type\":\"UINT\",\"frames\":[{\"frame\":0,\"easing\":\"None\",\"value\":-1}]}}"),
            "1:76: the value of a UINT key must be a whole number from 0 to 4294967295");
  EXPECT_EQ(refusal("{\"CM::Pos\":{\"type\":\"FLOAT3\",\"frames\":[{\"frame\":0,\"easing\":\"None\",\"value\":[1,2]}]}}"),
            "1:74: the value of a FLOAT3 key must be an array of three numbers");
  EXPECT_EQ(refusal("{\"CM::Pos\":{\"type\":\"FLOAT3\",\"frames\":[{\"frame\":0,\"easing\":\"None\",\"value\":[1,2,null]}]}}"),
            "1:79: a component of a FLOAT3 key is null, not a number");
}

TEST(TimelineFile, AnyTrackNameWhenNoListIsGiven) {
  std::string error;
  Timeline* timeline = load("{\"a\\\"b\\\\\":{\"type\":\"INVALID\",\"frames\":[]},\"\":{\"type\":\"UINT\",\"frames\":[]}}", &error,
                            false);
  ASSERT_NE(timeline, nullptr) << error;
  EXPECT_STREQ(timeline->tracks[0]->name, "a\"b\\");
  EXPECT_STREQ(timeline->tracks[1]->name, "");
  destroyTimeline(timeline);
  EXPECT_EQ(refusal("{\"I\":{\"type\":\"INVALID\",\"frames\":[{}]}}", false), "1:34: an INVALID track holds no keys");
  EXPECT_EQ(refusal("{\"a\\u0000b\":{\"type\":\"UINT\",\"frames\":[]}}", false),
            "1:2: a track name cannot hold the NUL character (\\u0000)");
  EXPECT_EQ(refusal("{\"" + std::string(256, 'n') + "\":{\"type\":\"UINT\",\"frames\":[]}}", false),
            "1:2: a track name is at most 255 bytes long");
}

}  // namespace
