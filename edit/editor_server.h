#pragma once
// The editor's page served on the loopback address (tarnix --edit): the page's files (built
// into the program), the requests of edit/editor_api.h, and a stream of Server-Sent Events
// that tells every open page what happens (the file's versions, the frame shown). HTTP is
// Boost.Beast's, over Boost.Asio, on a thread of the server's own.
//
// Nobody else gets in: it listens on 127.0.0.1 only; every request must carry this run's
// token (?token=... or the X-Tarnix-Token header, never a cookie); a request whose Host is
// not this address and port, or whose Origin is another site (another site open in the same
// browser, DNS rebinding), is refused; a body larger than a timeline can be is refused before
// it is read, and a malformed change changes nothing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "edit/editor_api.h"

// The largest text a timeline of the program can be as the writer writes it (every frame of
// every track keyed, every value as long as a float gets), with room to spare: no change or
// file the page sends is larger.
inline constexpr size_t kLargestRequestBytes = 32u << 20;

// At most this many connections at once (each open page holds one for its stream).
inline constexpr size_t kMostEditorConnections = 64;

struct EditorServer;

// Listens on 127.0.0.1:port (0: a free port the system picks) and serves from a thread of
// its own. api.publish is set to the server's stream. Null with *error when the port cannot
// be had.
EditorServer* startEditorServer(EditorApi api, uint16_t port, std::string* error);

// "http://127.0.0.1:PORT/?token=TOKEN", the address the page is opened at.
std::string editorServerAddress(const EditorServer* server);
uint16_t editorServerPort(const EditorServer* server);
const std::string& editorServerToken(const EditorServer* server);

// Sends an event to every open page's stream, from any thread. The last of each name is
// also sent to a page when it connects.
void publishEditorEvent(EditorServer* server, const std::string& event, const std::string& data);

// Closes every connection, ends the thread and frees the server (null: nothing).
void stopEditorServer(EditorServer* server);
