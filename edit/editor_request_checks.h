#pragma once
// Who may talk to the editor's server: the checks every request passes before its body is
// read, on the facts of its header alone (so the suites try them without a socket).
#include <cstdint>
#include <string>

struct RequestFacts {
  std::string target;       // "/api/state?token=..."
  std::string host;         // the Host header
  bool hasOrigin = false;   // browsers send Origin with every POST and with cross-site requests
  std::string origin;
  std::string tokenHeader;  // X-Tarnix-Token
};

struct RequestRefusal {
  int status = 0;  // 0: it may go on; 403 otherwise
  std::string message;
};

// The token must be this run's (in the query as token=, or in X-Tarnix-Token); Host must be
// 127.0.0.1:PORT or localhost:PORT; an Origin, when sent, must be http:// and one of those.
RequestRefusal checkEditorRequest(const RequestFacts& request, uint16_t port, const std::string& token);

// The target's path, without the query.
std::string requestPath(const std::string& target);

// The page's HTML with the token put where it names its own files ("{{token}}").
std::string pageWithToken(const std::string& html, const std::string& token);
