#!/usr/bin/env bash
# The program ends on SIGINT, SIGTERM and SIGHUP as on Escape: the whole shutdown, then
# its one summary line, then the exit status a shell expects (130, 143, 129). Each run
# also tries one of the options. Needs DISPLAY (scripts/test-env.sh starts Xvfb) and xdotool.
set -u
program=$(realpath "$1")
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: source scripts/test-env.sh first"; exit 1; }
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
workdir=$(mktemp -d) && cd "$workdir" && trap 'rm -rf "$workdir"' EXIT
name=$(basename "$program")

run_until_signal() {  # signal expected-status seconds-before-it options...
  local signal=$1 expected=$2 wait=$3
  shift 3
  "$program" "$@" >output.txt 2>&1 &
  local pid=$!
  for _ in $(seq 150); do
    xdotool search --name '^TARNIX$' >/dev/null 2>&1 && break
    sleep 0.2
  done
  fail() { echo "SIG$signal ($*): $1"; cat output.txt; kill -9 "$pid" 2>/dev/null; exit 1; }
  xdotool search --name '^TARNIX$' >/dev/null 2>&1 || fail "no TARNIX window appeared"
  sleep "$wait"
  kill -0 "$pid" 2>/dev/null || fail "ended before the signal"
  kill -s "$signal" "$pid"
  for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  kill -0 "$pid" 2>/dev/null && fail "still running 60 s after the signal"
  wait "$pid"
  local status=$?
  [ "$status" -eq "$expected" ] || fail "exit status $status, not $expected"
  grep -Eq "^$name: ([0-9]+ frames presented, last timeline frame [0-9]+ at music time [0-9.]+ s|ended before the music started)$" output.txt ||
    fail "no summary line"
  grep -q "PANIC\|ASSERT" output.txt && fail "a fatal message"
  echo "SIG$signal: status $status; $(tail -n 1 output.txt)"
}

# One usually during the music's synthesis, one usually among the presented frames.
run_until_signal INT 130 10 --windowed=320x180
run_until_signal TERM 143 2 --no-sound
run_until_signal HUP 129 3 --clock refresh
exit 0
