// The shell's handler for http addresses: the default browser.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "platform/browser.h"

bool osOpenInBrowser(const std::string& url, std::string* error) {
  const std::wstring wide(url.begin(), url.end());  // the address is ASCII
  const HINSTANCE result = ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(result) > 32) return true;
  *error = "the system has no browser to open it (ShellExecute " + std::to_string(reinterpret_cast<INT_PTR>(result)) + ")";
  return false;
}
