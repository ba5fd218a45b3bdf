// The editor server's door: token, Host and Origin.
#include "edit/editor_request_checks.h"

#include <cctype>

namespace {

std::string lowered(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The same length and bytes, in a time that does not tell how much of a guess was right.
bool sameSecret(const std::string& given, const std::string& token) {
  if (given.size() != token.size()) return false;
  unsigned difference = 0;
  for (size_t i = 0; i < token.size(); ++i) difference |= unsigned(given[i] ^ token[i]);
  return difference == 0;
}

// The value of `name` in the target's query ("" when absent).
std::string queryValue(const std::string& target, const std::string& name) {
  const size_t query = target.find('?');
  if (query == std::string::npos) return "";
  size_t at = query + 1;
  while (at <= target.size()) {
    size_t end = target.find('&', at);
    if (end == std::string::npos) end = target.size();
    const std::string pair = target.substr(at, end - at);
    if (pair.rfind(name + "=", 0) == 0) return pair.substr(name.size() + 1);
    at = end + 1;
  }
  return "";
}

bool isThisServer(const std::string& hostAndPort, uint16_t port) {
  const std::string value = lowered(hostAndPort);
  const std::string suffix = ":" + std::to_string(port);
  return value == std::string("127.0.0.1").append(suffix) || value == std::string("localhost").append(suffix);
}

}  // namespace

RequestRefusal checkEditorRequest(const RequestFacts& request, uint16_t port, const std::string& token) {
  if (!isThisServer(request.host, port))
    return {403, "refused: the Host is not 127.0.0.1:" + std::to_string(port) + " (another name for this server)"};
  if (request.hasOrigin) {
    const std::string origin = lowered(request.origin);
    if (origin.rfind("http://", 0) != 0 || !isThisServer(origin.substr(7), port))
      return {403, "refused: the request comes from another site"};
  }
  const std::string given = request.tokenHeader.empty() ? queryValue(request.target, "token") : request.tokenHeader;
  if (!sameSecret(given, token)) return {403, "refused: the request does not carry this run's token"};
  return {};
}

std::string requestPath(const std::string& target) { return target.substr(0, target.find('?')); }

std::string pageWithToken(const std::string& html, const std::string& token) {
  static const std::string kMark = "{{token}}";
  std::string page = html;
  for (size_t at = page.find(kMark); at != std::string::npos; at = page.find(kMark, at + token.size()))
    page.replace(at, kMark.size(), token);
  return page;
}
