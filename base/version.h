#pragma once
// The version the programs print with --version. It is set once, in the project() call of
// the top CMakeLists.txt; the tarnix_version library passes it in.
#ifndef TARNIX_VERSION
#error "TARNIX_VERSION is not defined: link the tarnix_version library"
#endif

inline constexpr const char* kTarnixVersion = TARNIX_VERSION;
