#!/usr/bin/env bash
# The program's options without a display: help and version end at once with status 0,
# anything unknown names itself in one line, shows the usage and ends with status 2.
set -u
program=$1
name=$(basename "$program")
failures=0
check() {  # description expected-status pattern args...
  local what=$1 expected=$2 pattern=$3
  shift 3
  local output status
  output=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" "$@" 2>&1)
  status=$?
  if [ "$status" -ne "$expected" ] || ! grep -Eq -- "$pattern" <<<"$output"; then
    echo "FAIL $what: status $status"; echo "$output"; failures=$((failures + 1))
  fi
}
check "--help" 0 "^Usage: $name \[options\]" --help
check "--version" 0 "^$name [0-9]+\.[0-9]+\.[0-9]+ \(render size [0-9]+x[0-9]+\)$" --version
check "an unknown option" 2 "^$name: unknown option '--fullscreen'$" --fullscreen
check "the usage after an error" 2 "^Usage: $name \[options\]" --fullscreen
check "a bad clock" 2 "^$name: --clock: 'vsync' is not music or refresh$" --clock vsync
check "a bad window size" 2 "^$name: --windowed: '0x0' is not a size" --windowed=0x0
exit "$failures"
