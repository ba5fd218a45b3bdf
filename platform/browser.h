#pragma once
// Hands an address to the desktop's web browser (the editor's --open): xdg-open on Linux, the
// shell's default handler on Windows. It does not wait for the browser.
#include <string>

// False with *error when the handler could not be started.
bool osOpenInBrowser(const std::string& url, std::string* error);
