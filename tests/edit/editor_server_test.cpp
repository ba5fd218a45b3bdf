// The editor's server over real loopback sockets: the page and its requests for whoever holds
// the token, every refusal of a request from anyone else (with the edited file's bytes
// unchanged after each), and the stream that tells open pages of every new version.
#include "edit/editor_server.h"

#include <gtest/gtest.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <vector>

#include "app/timeline_file.h"
#include "tests/edit/edited_file.h"

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

// A change that would be written if it got through: the key of "CM::Bright" at 579 to 2.
const std::string kChange =
    R"({"version":"","change":{"label":"drag","steps":[{"track":"CM::Bright","frame":579,)"
    R"("was":{"frame":579,"easing":"None","value":1},"now":{"frame":579,"easing":"None","value":2}}]}})";

struct Answer {
  int status = 0;
  std::string body;
};

struct ServerTest : EditedFileTest {
  EditorDocument document;
  EditorServer* server = nullptr;
  std::string host, token;
  asio::io_context io;

  void SetUp() override {
    EditedFileTest::SetUp();
    std::string message;
    document.name = file;
    document.store = documentStoreForFile(file);
    EditorApi api;
    api.document = &document;
    server = startEditorServer(api, 0, &message);
    ASSERT_NE(server, nullptr) << message;
    host = "127.0.0.1:" + std::to_string(editorServerPort(server));
    token = editorServerToken(server);
  }
  void TearDown() override {
    stopEditorServer(server);
    EditedFileTest::TearDown();
  }
  tcp::socket connect(const char* address = "127.0.0.1") {
    tcp::socket socket(io);
    socket.connect(tcp::endpoint(asio::ip::make_address(address), editorServerPort(server)));
    return socket;
  }
  Answer answerOn(tcp::socket& socket) {
    beast::flat_buffer buffer;
    http::response<http::string_body> response;
    beast::error_code ec;
    http::read(socket, buffer, response, ec);
    return {ec ? -1 : int(response.result_int()), response.body()};
  }
  // One request; `fields` adds or, when the value is empty, removes header fields.
  Answer request(http::verb verb, const std::string& target, const std::string& body = "",
                 std::vector<std::pair<std::string, std::string>> fields = {}) {
    http::request<http::string_body> question(verb, target, 11);
    question.set(http::field::host, host);
    for (const auto& [name, value] : fields)
      if (value.empty())
        question.erase(name);
      else
        question.set(name, value);
    question.body() = body;
    question.prepare_payload();
    tcp::socket socket = connect();
    http::write(socket, question);
    return answerOn(socket);
  }
  std::string withToken(const std::string& path) { return path + "?token=" + token; }
  // Reads into *text until it holds `needle`; false after ten seconds without it.
  bool readUntil(tcp::socket& socket, std::string* text, const std::string& needle) {
    char chunk[4096];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (text->find(needle) == std::string::npos) {
      bool done = false;
      socket.async_read_some(asio::buffer(chunk), [&](beast::error_code ec, size_t size) {
        if (!ec) text->append(chunk, size);
        done = true;
      });
      io.restart();
      io.run_until(deadline);
      if (!done) return false;
    }
    return true;
  }
};

TEST_F(ServerTest, ThePageAndItsRequestsAnswerWhoeverHoldsTheToken) {
  Answer page = request(http::verb::get, withToken("/"));
  ASSERT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("editor.js?token=" + token), std::string::npos);  // its own files carry the token too
  EXPECT_EQ(page.body.find("{{token}}"), std::string::npos);
  EXPECT_EQ(request(http::verb::get, withToken("/editor.css")).status, 200);
  EXPECT_EQ(request(http::verb::get, withToken("/nothing.js")).status, 404);
  EXPECT_EQ(request(http::verb::get, withToken("/../show.json")).status, 404);  // no file but the page's
  EXPECT_NE(request(http::verb::get, withToken("/api/state")).body.find("\"file\":"), std::string::npos);
  // The header instead of the query, as the page's own requests send it; localhost is this server too.
  const Answer change = request(http::verb::post, "/api/change", kChange,
                                {{"X-Tarnix-Token", token}, {"Origin", "http://" + host},
                                 {"Host", "localhost:" + std::to_string(editorServerPort(server))}});
  EXPECT_EQ(change.status, 200) << change.body;
  EXPECT_NE(read().find(R"({"frame":579,"easing":"None","value":2.000000})"), std::string::npos);
}

TEST_F(ServerTest, NobodyElseGetsInAndTheFileIsUnchangedAfterEveryRefusal) {
  const std::string before = read();
  const std::string port = std::to_string(editorServerPort(server));
  const struct {
    const char* what;
    std::string target;
    std::vector<std::pair<std::string, std::string>> fields;
    const char* reason;
  } refusals[] = {
      {"no token", "/api/change", {}, "token"},
      {"another token", "/api/change?token=" + std::string(token.size(), '0'), {}, "token"},
      {"a token cut short", "/api/change?token=" + token.substr(1), {}, "token"},
      {"the token in a cookie", "/api/change", {{"Cookie", "token=" + token}}, "token"},
      {"a rebound name", withToken("/api/change"), {{"Host", "attacker.example:" + port}}, "Host"},
      {"another port", withToken("/api/change"), {{"Host", "127.0.0.1:1"}}, "Host"},
      {"no Host", withToken("/api/change"), {{"Host", ""}}, "Host"},
      {"another site", withToken("/api/change"), {{"Origin", "http://attacker.example"}}, "another site"},
      {"a page of another port", withToken("/api/change"), {{"Origin", "http://127.0.0.1:1"}}, "another site"},
      {"https", withToken("/api/change"), {{"Origin", "https://" + host}}, "another site"},
      {"an opaque origin", withToken("/api/change"), {{"Origin", "null"}}, "another site"},
  };
  for (const auto& r : refusals) {
    const Answer answer = request(http::verb::post, r.target, kChange, r.fields);
    EXPECT_EQ(answer.status, 403) << r.what;
    EXPECT_NE(answer.body.find(r.reason), std::string::npos) << r.what << ": " << answer.body;
    EXPECT_EQ(read(), before) << r.what;
  }
  // The page is no different.
  EXPECT_EQ(request(http::verb::get, "/").status, 403);
  EXPECT_EQ(request(http::verb::get, "/api/events").status, 403);

  // A body larger than a timeline can be: refused from its length, before it is sent.
  tcp::socket socket = connect();
  asio::write(socket, asio::buffer("POST " + withToken("/api/change") + " HTTP/1.1\r\nHost: " + host +
                                   "\r\nContent-Length: " + std::to_string(kLargestRequestBytes + 1) + "\r\n\r\n"));
  EXPECT_EQ(answerOn(socket).status, 413);
  // Or as it comes, in chunks with no length given.
  socket = connect();
  asio::write(socket, asio::buffer("POST " + withToken("/api/change") + " HTTP/1.1\r\nHost: " + host +
                                   "\r\nTransfer-Encoding: chunked\r\n\r\n"));
  const std::string chunk(1 << 20, ' ');
  char size[16];
  snprintf(size, sizeof(size), "%zx\r\n", chunk.size());
  beast::error_code ec;
  for (size_t sent = 0; sent <= kLargestRequestBytes && !ec; sent += chunk.size())
    asio::write(socket, asio::buffer(std::string(size) + chunk + "\r\n"), ec);
  EXPECT_EQ(answerOn(socket).status, 413);
  // A malformed change is refused with its reason.
  const Answer malformed = request(http::verb::post, withToken("/api/change"), R"({"version":"","change":{"steps":[{}]}})");
  EXPECT_EQ(malformed.status, 400);
  EXPECT_NE(malformed.body.find("needs \\\"track\\\""), std::string::npos) << malformed.body;
  EXPECT_EQ(read(), before);
  // Nothing but the file was ever written beside it.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"show.json"});
}

TEST_F(ServerTest, ItListensOnTheLoopbackAddressAloneAndItsPortOnce) {
  EXPECT_EQ(editorServerAddress(server), "http://" + host + "/?token=" + token);
  EXPECT_EQ(token.size(), 32u);
  tcp::socket other(io);
  beast::error_code ec;
  other.connect(tcp::endpoint(asio::ip::make_address("127.0.0.2"), editorServerPort(server)), ec);
  EXPECT_TRUE(ec) << "a connection to another address reached the server";
  std::string error;
  EditorApi api;
  api.document = &document;
  EXPECT_EQ(startEditorServer(api, editorServerPort(server), &error), nullptr);
  EXPECT_NE(error.find("cannot listen on " + host), std::string::npos) << error;
}

TEST_F(ServerTest, OpenPagesAreToldOfEveryNewVersion) {
  tcp::socket stream = connect();
  asio::write(stream, asio::buffer("GET " + withToken("/api/events") + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n"));
  std::string text;
  EXPECT_TRUE(readUntil(stream, &text, "\r\n\r\n"));  // the header
  EXPECT_NE(text.find("text/event-stream"), std::string::npos);
  publishEditorEvent(server, "playhead", R"({"frame":12})");
  ASSERT_EQ(request(http::verb::post, withToken("/api/change"), kChange).status, 200);
  const std::string version = documentVersion(read());
  EXPECT_TRUE(readUntil(stream, &text, version + "\"")) << text;
  EXPECT_NE(text.find("event: playhead\ndata: {\"frame\":12}\n\n"), std::string::npos);
  EXPECT_NE(text.find("event: version\ndata: {\"version\":\"" + version + "\""), std::string::npos);
}

}  // namespace
