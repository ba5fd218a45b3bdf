// The page's changes to the edited file, through the requests the page makes: applied to the
// file as it is on disk, refused with a reason (and the file's bytes unchanged) where they do
// not apply, undone and redone by version.
#include "edit/editor_document.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/timeline_file.h"
#include "tests/edit/edited_file.h"
#include "edit/editor_api.h"
#include "timeline/writer.h"

namespace {

// The built-in timeline's "CM::Bright" key at 579 as the page sends it.
constexpr const char* kBrightAt579 = R"({"frame":579,"easing":"None","value":1})";

struct DocumentTest : EditedFileTest {
  EditorDocument document;
  EditorApi api;
  std::vector<std::string> versionsWritten;  // what the program was handed to play
  std::vector<std::string> events;

  void SetUp() override {
    EditedFileTest::SetUp();
    document.name = file;
    document.store = documentStoreForFile(file);
    document.store.written = [this](Timeline* timeline, const std::string& version) {
      versionsWritten.push_back(version);
      destroyTimeline(timeline);
    };
    api.document = &document;
    api.publish = [this](const std::string& event, const std::string&) { events.push_back(event); };
  }
  // The text with `from` replaced by `to` once (it must be there).
  std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
  }
  EditorResponse ask(const char* method, const char* path, const std::string& body = "") {
    return answerEditorRequest(api, EditorRequest{method, path, body});
  }
  EditorResponse send(const std::string& steps, const std::string& version) {
    return ask("POST", "/api/change", R"({"version":")" + version + R"(","change":{"label":"test","steps":[)" + steps + "]}}");
  }
  std::string version() { return documentVersion(read()); }
  // An answer's text with its JSON escapes of quotes undone, to look for messages in.
  static std::string unescaped(std::string text) {
    for (size_t at = text.find("\\\""); at != std::string::npos; at = text.find("\\\"", at + 1)) text.erase(at, 1);
    return text;
  }
};

TEST_F(DocumentTest, ChangesLandInTheFileAsTheWriterWritesThem) {
  const std::string before = read();
  // A drag of the key's value, a move, a new key and a bookmark, in one change.
  EditorResponse response = send(std::string(R"({"track":"CM::Bright","frame":579,"was":)") + kBrightAt579 +
                                     R"(,"now":{"frame":579,"easing":"Linear","value":0.75}},)"
                                     R"({"track":"CM::Fov","frame":3830,"was":{"frame":3830,"easing":"None","value":57.540001},)"
                                     R"("now":{"frame":3900,"easing":"None","value":57.540001}},)"
                                     R"({"track":"AT::Steps","frame":100,"was":null,"now":{"frame":100,"easing":"None","value":5}},)"
                                     R"({"bookmark":4000,"was":false,"now":true})",
                                 version());
  ASSERT_EQ(response.status, 200) << response.body;
  std::string expected = replaced(before, R"({"frame":579,"easing":"None","value":1.000000})",
                                  R"({"frame":579,"easing":"Linear","value":0.750000})");
  expected = replaced(expected, R"("frame":3830,"easing":"None","value":57.540001)", R"("frame":3900,"easing":"None","value":57.540001)");
  expected = replaced(expected, R"({"frame":0,"easing":"None","value":3},)",
                      R"({"frame":0,"easing":"None","value":3},{"frame":100,"easing":"None","value":5},)");
  expected = replaced(expected, "3255,5208,", "3255,4000,5208,");
  EXPECT_EQ(read(), expected);
  EXPECT_EQ(versionsWritten, std::vector<std::string>{documentVersion(expected)});
  EXPECT_EQ(events, std::vector<std::string>{"version"});
  EXPECT_NE(response.body.find(R"("ok":true,"conflict":false)"), std::string::npos);

  // Deleting it again, and the bookmark.
  response = send(R"({"track":"AT::Steps","frame":100,"was":{"frame":100,"easing":"None","value":5},"now":null},)"
                  R"({"bookmark":4000,"was":true,"now":false})",
                  version());
  ASSERT_EQ(response.status, 200) << response.body;
  EXPECT_EQ(read().find("\"frame\":100,"), std::string::npos);
  EXPECT_NE(read().find("3255,5208,"), std::string::npos);
}

TEST_F(DocumentTest, MalformedChangesAreRefusedWithTheirReasonAndChangeNothing) {
  const std::string before = read();
  const std::string v = version();
  const struct {
    std::string body, reason;
  } cases[] = {
      {"not json", "the request is not JSON"},
      {"[1]", "not a JSON object"},
      {R"({"change":{"steps":[]}})", "needs \"version\""},
      {R"({"version":")" + v + R"(","change":{"steps":[]}})", "one or more steps"},
      {R"({"version":")" + v + R"(","change":{"steps":[{"track":"CM::Nope","frame":1,"was":null,"now":null}]}})",
       "there is no track \"CM::Nope\""},
      {R"({"version":")" + v + R"(","change":{"steps":[{"track":"CM::Bright","frame":10843,"was":null,"now":null}]}})",
       "frame number (0 to 10842)"},
      {R"({"version":")" + v + R"(","change":{"steps":[{"track":"CM::Bright","frame":5,"was":null,"now":{"frame":5,"easing":"Lineer","value":1}}]}})",
       "unknown easing \"Lineer\""},
      {R"({"version":")" + v + R"(","change":{"steps":[{"track":"CM::Pos","frame":5,"was":null,"now":{"frame":5,"easing":"None","value":1}}]}})",
       "array of three numbers"},
      {R"({"version":")" + v + R"(","change":{"steps":[{"track":"CM::Bright","frame":5,"was":null,"now":{"frame":5,"easing":"None","value":1e39}}]}})",
       "beyond the single-precision range"},
      {R"({"version":")" + v + R"(","change":{"steps":[{"track":"CM::Bright","frame":5,"was":null,"now":{"frame":6,"easing":"None","value":1}}]}})",
       "must be at the step's frame 5"},
      {R"({"version":")" + v + R"(","change":{"steps":[{"track":"CM::Bright","frame":5,"was":null,"now":null}]}})",
       "changes nothing"},
      {R"({"version":")" + v + R"(","change":{"steps":[{"bookmark":5,"was":false,"now":true,"rm":1}]}})", "no member \"rm\""},
      {R"({"version":")" + v + R"(","change":{"steps":[{"bookmark":5,"was":"no","now":true}]}})", "true or false"},
  };
  for (const auto& c : cases) {
    const EditorResponse response = ask("POST", "/api/change", c.body);
    EXPECT_EQ(response.status, 400) << c.body;
    EXPECT_NE(unescaped(response.body).find(c.reason), std::string::npos) << response.body;
    EXPECT_EQ(read(), before) << c.body;
  }
  EXPECT_TRUE(versionsWritten.empty());
  EXPECT_TRUE(events.empty());
}

TEST_F(DocumentTest, AnEditMadeElsewhereIsKeptAndAChangeOfTheSameKeyIsRefused) {
  const std::string seen = version();
  // A text editor's save: another key of the same track.
  write(replaced(read(), R"({"frame":3421,"easing":"None","value":1.000000})", R"({"frame":3421,"easing":"None","value":0.500000})"));
  EditorResponse response = send(std::string(R"({"track":"CM::Bright","frame":579,"was":)") + kBrightAt579 +
                                     R"(,"now":{"frame":579,"easing":"None","value":2}})",
                                 seen);
  ASSERT_EQ(response.status, 200) << response.body;
  EXPECT_NE(response.body.find(R"("conflict":true)"), std::string::npos);
  EXPECT_NE(read().find(R"({"frame":3421,"easing":"None","value":0.500000})"), std::string::npos);
  EXPECT_NE(read().find(R"({"frame":579,"easing":"None","value":2.000000})"), std::string::npos);

  // The same key changed elsewhere: refused, with what the file holds now.
  const std::string seenAgain = version();
  write(replaced(read(), R"({"frame":579,"easing":"None","value":2.000000})", R"({"frame":579,"easing":"None","value":3.000000})"));
  const std::string edited = read();
  response = send(R"({"track":"CM::Bright","frame":579,"was":{"frame":579,"easing":"None","value":2},"now":null})", seenAgain);
  EXPECT_EQ(response.status, 409);
  EXPECT_NE(response.body.find("CM::Bright: the key at frame 579 was changed in the file"), std::string::npos) << response.body;
  EXPECT_NE(response.body.find(documentVersion(edited)), std::string::npos);  // the page is shown the new version
  EXPECT_EQ(read(), edited);

  // A key that is no longer there, one that appeared, a bookmark someone removed.
  const struct {
    std::string steps, reason;
  } refused[] = {
      {R"({"track":"CM::Bright","frame":578,"was":{"frame":578,"easing":"None","value":1},"now":null})", "is no longer in the file"},
      {R"({"track":"CM::Bright","frame":579,"was":null,"now":{"frame":579,"easing":"None","value":1}})", "the file has a key at frame 579 now"},
      {R"({"bookmark":4000,"was":true,"now":false})", "the file has no bookmark at frame 4000 now"},
  };
  for (const auto& r : refused) {
    response = send(r.steps, seenAgain);
    EXPECT_EQ(response.status, 409);
    EXPECT_NE(response.body.find(r.reason), std::string::npos) << response.body;
    EXPECT_EQ(read(), edited);
  }
}

TEST_F(DocumentTest, KeysNeverMoveOntoOrPastAnotherKeyAndBrokenFilesAreLeftAlone) {
  const std::string before = read();
  const std::string at439 = R"({"track":"CM::Bright","frame":439,"was":{"frame":439,"easing":"Linear","value":0},"now":{"frame":)";
  for (const char* target : {"579", "600", "0"}) {
    const EditorResponse response = send(at439 + target + R"(,"easing":"Linear","value":0}})", version());
    EXPECT_EQ(response.status, 409) << target;
    EXPECT_NE(response.body.find(target == std::string("600") ? "the key at frame 439 would pass the key at frame 579"
                                                               : std::string("frame ") + target + " has a key already"),
              std::string::npos)
        << response.body;
    EXPECT_EQ(read(), before);
  }
  // A move within its gap is fine.
  EXPECT_EQ(send(at439 + R"(500,"easing":"Linear","value":0}})", version()).status, 200);

  write("{\"CM::Bright\": {\"type\": \"FLOAT\", \"frames\": [\n  {\"frame\": 0, \"easing\": \"Lineer\", \"value\": 0}]}}");
  const std::string broken = read();
  const EditorResponse response = send(R"({"bookmark":5,"was":false,"now":true})", version());
  EXPECT_EQ(response.status, 409);
  EXPECT_NE(response.body.find("the file does not load: "), std::string::npos) << response.body;
  EXPECT_NE(response.body.find("show.json:2:26: unknown easing"), std::string::npos) << response.body;
  EXPECT_EQ(read(), broken);
  EXPECT_NE(ask("GET", "/api/state").body.find(R"("timeline":null)"), std::string::npos);
}

TEST_F(DocumentTest, UndoRestoresTheBytesAndRedoTheChangeThroughEditsMadeElsewhere) {
  // A hand-formatted file: undo gives back these very bytes, not the writer's form of them.
  write(replaced(read(), "{\"__bookmarks__\": [", "{\n  \"__bookmarks__\": [ "));
  const std::string original = read();
  ASSERT_EQ(send(std::string(R"({"track":"CM::Bright","frame":579,"was":)") + kBrightAt579 +
                     R"(,"now":{"frame":579,"easing":"None","value":0.5}})",
                 version())
                .status,
            200);
  const std::string changed = read();
  EXPECT_NE(ask("GET", "/api/state").body.find(R"("undo":"test","redo":null)"), std::string::npos);
  ASSERT_EQ(ask("POST", "/api/undo").status, 200);
  EXPECT_EQ(read(), original);
  ASSERT_EQ(ask("POST", "/api/redo").status, 200);
  EXPECT_EQ(read(), changed);

  // Another key changed elsewhere: undo takes back only the page's change.
  write(replaced(read(), R"({"frame":3421,"easing":"None","value":1.000000})", R"({"frame":3421,"easing":"None","value":0.250000})"));
  ASSERT_EQ(ask("POST", "/api/undo").status, 200);
  EXPECT_NE(read().find(R"({"frame":579,"easing":"None","value":1.000000})"), std::string::npos);
  EXPECT_NE(read().find(R"({"frame":3421,"easing":"None","value":0.250000})"), std::string::npos);
  ASSERT_EQ(ask("POST", "/api/redo").status, 200);
  EXPECT_NE(read().find(R"({"frame":579,"easing":"None","value":0.500000})"), std::string::npos);

  // The same key changed elsewhere: undo is refused and the edit stays.
  write(replaced(read(), R"({"frame":579,"easing":"None","value":0.500000})", R"({"frame":579,"easing":"None","value":0.125000})"));
  const std::string edited = read();
  const EditorResponse response = ask("POST", "/api/undo");
  EXPECT_EQ(response.status, 409);
  EXPECT_NE(response.body.find("not undone (test): CM::Bright: the key at frame 579 was changed in the file"), std::string::npos)
      << response.body;
  EXPECT_EQ(read(), edited);
  EXPECT_EQ(ask("POST", "/api/redo").status, 409);  // nothing to redo
}

TEST_F(DocumentTest, ValuesAreTheProgramsOwnEvaluationWithOrWithoutAPreview) {
  std::string message;
  Timeline* timeline = readTimelineFile(file, &message);
  ASSERT_NE(timeline, nullptr) << message;
  const Track* position = findTrack(timeline, "CM::Pos");
  EditorResponse response = ask("POST", "/api/values", R"({"track":"CM::Pos","from":3200,"count":500})");
  ASSERT_EQ(response.status, 200) << response.body;
  ASSERT_EQ(response.body.size(), 500u * 3 * sizeof(double));
  std::vector<double> values(500 * 3);
  memcpy(values.data(), response.body.data(), response.body.size());
  for (uint32_t i = 0; i < 500; ++i)
    for (int c = 0; c < 3; ++c) ASSERT_EQ(values[i * 3 + c], double(evaluate(position, 3200 + i).float3[c])) << i;
  destroyTimeline(timeline);

  // A drag's preview: the key at 579 at 0.5, nothing written.
  const std::string before = read();
  response = ask("POST", "/api/values",
                 std::string(R"({"track":"CM::Bright","from":500,"count":100,"steps":[{"track":"CM::Bright","frame":579,"was":)") +
                     kBrightAt579 + R"(,"now":{"frame":579,"easing":"None","value":0.5}}]})");
  ASSERT_EQ(response.status, 200) << response.body;
  memcpy(values.data(), response.body.data(), 100 * sizeof(double));
  EXPECT_EQ(values[79], 0.5);
  EXPECT_GT(values[0], 0.0);
  EXPECT_LT(values[0], 0.5);
  EXPECT_EQ(read(), before);

  EXPECT_EQ(ask("POST", "/api/values", R"({"track":"CM::Pos","from":10800,"count":44})").status, 400);
  response = ask("GET", "/api/easings");
  EXPECT_NE(response.body.find(R"("names":["None","Linear","QuadraticIn")"), std::string::npos);
  EXPECT_NE(response.body.find(R"("shapes":[null,[0,0.0208333)"), std::string::npos) << response.body.substr(0, 800);
}

TEST_F(DocumentTest, TransportRequestsReachTheProgramAndUnknownOnesAreRefused) {
  std::vector<TransportCommand> commands;
  api.transport = [&commands](const TransportCommand& command) { commands.push_back(command); };
  EXPECT_EQ(ask("POST", "/api/transport", R"({"seek":1234})").status, 200);
  EXPECT_EQ(ask("POST", "/api/transport", R"({"key":"Right","shift":true})").status, 200);
  EXPECT_EQ(ask("POST", "/api/transport", R"({"key":"Delete"})").status, 400);
  EXPECT_EQ(ask("POST", "/api/transport", R"({"seek":10843})").status, 400);
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_TRUE(commands[0].seek);
  EXPECT_EQ(commands[0].frame, 1234u);
  EXPECT_EQ(commands[1].key, 0x27u);
  EXPECT_TRUE(commands[1].shift);
  EXPECT_EQ(ask("GET", "/api/nothing").status, 404);
  EXPECT_EQ(ask("POST", "/api/file", "{}").status, 404);  // the program's page sends changes only
}

TEST(ShortestFloatText, GivesTheFewestDigitsThatReadBackExactly) {
  EXPECT_EQ(shortestFloatText(0.025f), "0.025");
  EXPECT_EQ(shortestFloatText(-208.84f), "-208.84");
  EXPECT_EQ(shortestFloatText(1.0f), "1");
  EXPECT_EQ(shortestFloatText(1.0f / 3.0f), "0.33333334");
  EXPECT_EQ(shortestFloatText(3.4028235e38f), "3.4028235e+38");
  EXPECT_EQ(shortestFloatText(16777216.0f + 2.0f), "16777218");
}

}  // namespace
