#pragma once
// A double from its decimal text, as std::from_chars reads it: no locale, correctly rounded,
// out-of-range and malformed text told by the result's error.
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 170000
// Older libc++ (the web build's) has no from_chars for floating point: strtod on a terminated
// copy, which rounds as correctly, with its errors told as from_chars tells them.
inline std::from_chars_result doubleFromText(const char* first, const char* last, double& value) {
  std::string text(first, last);
  char* end = nullptr;
  errno = 0;
  double parsed = std::strtod(text.c_str(), &end);
  if (end == text.c_str()) return {first, std::errc::invalid_argument};
  if (errno == ERANGE && std::fabs(parsed) > 1.0) return {first + (end - text.c_str()), std::errc::result_out_of_range};
  value = parsed;
  return {first + (end - text.c_str()), std::errc()};
}
#else
inline std::from_chars_result doubleFromText(const char* first, const char* last, double& value) {
  return std::from_chars(first, last, value);
}
#endif
