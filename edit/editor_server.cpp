// The editor's server: Beast reads each request's header, the checks below decide whether it
// may go on, then the body is read (within its limit) and answered. Everything runs on the
// server's one thread; other threads only post to it.
#include "edit/editor_server.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string_view>
#include <thread>

#include "edit/editor_page.h"
#include "edit/editor_request_checks.h"
#include "timeline/writer.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

constexpr auto kReadTimeout = std::chrono::seconds(30);
constexpr auto kWriteTimeout = std::chrono::seconds(10);
constexpr auto kHeartbeat = std::chrono::seconds(15);
constexpr auto kLinger = std::chrono::seconds(2);
constexpr uint32_t kLargestHeader = 16 * 1024;

class Connection;

}  // namespace

struct EditorServer {
  size_t connections = 0;  // before io: connections still queued there count down as it goes
  asio::io_context io;
  tcp::acceptor acceptor{io};
  EditorApi api;
  std::string token;
  uint16_t port = 0;
  std::thread thread;
  // The server's thread only:
  std::set<std::shared_ptr<Connection>> streams;
  std::map<std::string, std::string> lastEvents;
};

namespace {

std::string newToken() {
  std::random_device random;
  char text[33];
  for (int i = 0; i < 4; ++i) snprintf(text + i * 8, 9, "%08x", static_cast<unsigned>(random()));
  return text;
}

std::string eventText(const std::string& event, const std::string& data) {
  // One data line: the data is JSON, which holds no raw line break.
  return "event: " + event + "\ndata: " + data + "\n\n";
}

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(EditorServer& server, tcp::socket socket) : server_(server), stream_(std::move(socket)) {
    ++server_.connections;
  }
  ~Connection() { --server_.connections; }

  void readHeader() {
    parser_.emplace();
    parser_->header_limit(kLargestHeader);
    parser_->body_limit(kLargestRequestBytes);
    stream_.expires_after(kReadTimeout);
    http::async_read_header(stream_, buffer_, *parser_,
                            [self = shared_from_this()](beast::error_code ec, size_t) { self->onHeader(ec); });
  }

  // Queues an event on a page's stream.
  void send(std::string text) {
    queue_.push_back(std::move(text));
    if (queue_.size() == 1) writeNext();
  }

  void close() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
  }

 private:
  EditorServer& server_;
  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  std::deque<std::string> queue_;
  std::optional<asio::steady_timer> heartbeat_;
  std::shared_ptr<http::response<http::empty_body>> streamHeader_;
  std::shared_ptr<http::response_serializer<http::empty_body>> streamSerializer_;

  void onHeader(beast::error_code ec) {
    if (ec == http::error::body_limit) return refuse(413, "the body is larger than a timeline can be");
    if (ec) return close();
    const RequestRefusal refusal = checkEditorRequest(requestFacts(parser_->get()), server_.port, server_.token);
    if (refusal.status != 0) return refuse(refusal.status, refusal.message);
    http::async_read(stream_, buffer_, *parser_, [self = shared_from_this()](beast::error_code ec, size_t) { self->onBody(ec); });
  }

  static RequestFacts requestFacts(const http::request<http::string_body>& request) {
    RequestFacts facts;
    facts.target = std::string(request.target());
    facts.host = std::string(request[http::field::host]);
    facts.hasOrigin = request.find(http::field::origin) != request.end();
    facts.origin = std::string(request[http::field::origin]);
    facts.tokenHeader = std::string(request["X-Tarnix-Token"]);
    return facts;
  }

  void onBody(beast::error_code ec) {
    if (ec == http::error::body_limit) return refuse(413, "the body is larger than a timeline can be");
    if (ec) return close();
    http::request<http::string_body> request = parser_->release();
    const std::string path = requestPath(std::string(request.target()));
    const bool keepAlive = request.keep_alive();
    if (path == "/api/events" && request.method() == http::verb::get) return startStream();
    if (path.rfind("/api/", 0) == 0) {
      EditorRequest question{std::string(request.method_string()), path, std::move(request.body())};
      const EditorResponse answer = answerEditorRequest(server_.api, question);
      return reply(answer.status, answer.type, answer.body, !keepAlive);
    }
    if (request.method() != http::verb::get) return reply(405, "text/plain", "the page's files are read with GET", !keepAlive);
    const std::string name = path == "/" ? "index.html" : path.substr(1);
    const EditorPageFile* file = findEditorPageFile(name);
    if (file == nullptr) return reply(404, "text/plain", "no such file", !keepAlive);
    std::string body(reinterpret_cast<const char*>(file->data), file->size);
    if (name == "index.html") body = pageWithToken(body, server_.token);
    reply(200, editorPageFileType(name), body, !keepAlive);
  }

  void setCommonHeaders(http::fields& fields, const char* type) {
    fields.set(http::field::content_type, type);
    fields.set(http::field::cache_control, "no-store");
    fields.set("X-Content-Type-Options", "nosniff");
    fields.set("Referrer-Policy", "no-referrer");
    // Nothing from elsewhere, and never inside another site's frame.
    fields.set("Content-Security-Policy", "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'");
  }

  void reply(int status, const std::string& type, const std::string& body, bool closeAfter) {
    auto response = std::make_shared<http::response<http::string_body>>(http::int_to_status(unsigned(status)), 11);
    setCommonHeaders(*response, type.c_str());
    response->keep_alive(!closeAfter);
    response->body() = body;
    response->prepare_payload();
    stream_.expires_after(kWriteTimeout);
    http::async_write(stream_, *response, [self = shared_from_this(), response, closeAfter](beast::error_code ec, size_t) {
      if (ec) return self->close();
      if (closeAfter) return self->linger();
      self->readHeader();
    });
  }

  // A refusal ends the connection: what the client still sends is read and dropped for a
  // moment, so that it sees the answer rather than a reset.
  void refuse(int status, const std::string& message) {
    std::string body = "{\"ok\":false,\"message\":";
    appendJsonString(body, message);
    reply(status, "application/json", body + "}", true);
  }

  void linger() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream_.expires_after(kLinger);
    drain();
  }

  void drain() {
    buffer_.consume(buffer_.size());
    stream_.async_read_some(buffer_.prepare(64 * 1024), [self = shared_from_this()](beast::error_code ec, size_t) {
      if (ec) return self->close();
      self->drain();
    });
  }

  void startStream() {
    streamHeader_ = std::make_shared<http::response<http::empty_body>>(http::status::ok, 11);
    setCommonHeaders(*streamHeader_, "text/event-stream");
    streamHeader_->keep_alive(false);  // the stream's body runs until the connection closes
    streamSerializer_ = std::make_shared<http::response_serializer<http::empty_body>>(*streamHeader_);
    stream_.expires_never();
    http::async_write_header(stream_, *streamSerializer_, [self = shared_from_this()](beast::error_code ec, size_t) {
      if (ec) return self->close();
      self->server_.streams.insert(self);
      for (const auto& [event, data] : self->server_.lastEvents) self->send(eventText(event, data));
      self->beat();
    });
  }

  void beat() {
    heartbeat_.emplace(server_.io, kHeartbeat);
    heartbeat_->async_wait([self = shared_from_this()](beast::error_code ec) {
      if (ec) return;
      self->send(": still here\n\n");
      self->beat();
    });
  }

  void writeNext() {
    stream_.expires_after(kWriteTimeout);
    asio::async_write(stream_, asio::buffer(queue_.front()), [self = shared_from_this()](beast::error_code ec, size_t) {
      if (ec) return self->endStream();
      self->queue_.pop_front();
      if (!self->queue_.empty()) self->writeNext();
    });
  }

  void endStream() {
    if (heartbeat_) heartbeat_->cancel();
    queue_.clear();
    close();
    server_.streams.erase(shared_from_this());
  }
};

void accept(EditorServer& server) {
  server.acceptor.async_accept([&server](beast::error_code ec, tcp::socket socket) {
    if (ec == asio::error::operation_aborted || !server.acceptor.is_open()) return;
    if (!ec && server.connections < kMostEditorConnections)
      std::make_shared<Connection>(server, std::move(socket))->readHeader();
    accept(server);
  });
}

void broadcast(EditorServer& server, const std::string& event, const std::string& data) {
  server.lastEvents[event] = data;
  const std::string text = eventText(event, data);
  for (const std::shared_ptr<Connection>& stream : server.streams) stream->send(text);
}

}  // namespace

EditorServer* startEditorServer(EditorApi api, uint16_t port, std::string* error) {
  auto server = std::make_unique<EditorServer>();
  beast::error_code ec;
  const tcp::endpoint endpoint(asio::ip::make_address_v4("127.0.0.1"), port);
  server->acceptor.open(endpoint.protocol(), ec);
  if (!ec) server->acceptor.bind(endpoint, ec);
  if (!ec) server->acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    *error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + ec.message();
    return nullptr;
  }
  server->port = server->acceptor.local_endpoint().port();
  server->token = newToken();
  EditorServer* raw = server.get();
  server->api = std::move(api);
  server->api.publish = [raw](const std::string& event, const std::string& data) { broadcast(*raw, event, data); };
  accept(*server);
  server->thread = std::thread([raw] { raw->io.run(); });
  return server.release();
}

std::string editorServerAddress(const EditorServer* server) {
  return "http://127.0.0.1:" + std::to_string(server->port) + "/?token=" + server->token;
}

uint16_t editorServerPort(const EditorServer* server) { return server->port; }
const std::string& editorServerToken(const EditorServer* server) { return server->token; }

void publishEditorEvent(EditorServer* server, const std::string& event, const std::string& data) {
  asio::post(server->io, [server, event, data] { broadcast(*server, event, data); });
}

void stopEditorServer(EditorServer* server) {
  if (server == nullptr) return;
  asio::post(server->io, [server] {
    beast::error_code ignored;
    server->acceptor.close(ignored);
    for (const std::shared_ptr<Connection>& stream : std::set(server->streams)) stream->close();
    server->streams.clear();
    server->io.stop();
  });
  server->thread.join();
  delete server;
}
