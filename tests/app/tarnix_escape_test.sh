#!/usr/bin/env bash
# The program on a real display: it starts, keeps presenting, and Escape ends it with
# status 0. Needs DISPLAY (scripts/test-env.sh starts Xvfb) and xdotool.
set -u
program=$(realpath "$1")
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: source scripts/test-env.sh first"; exit 1; }
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
workdir=$(mktemp -d) && cd "$workdir" && trap 'rm -rf "$workdir"' EXIT
fail() { echo "$1"; cat output.txt; kill -9 "$pid" 2>/dev/null; exit 1; }

"$program" >output.txt 2>&1 &
pid=$!
for _ in $(seq 150); do
  xdotool search --name '^TARNIX$' >/dev/null 2>&1 && break
  sleep 0.2
done
xdotool search --name '^TARNIX$' >/dev/null 2>&1 || fail "no TARNIX window appeared"
sleep 4  # past the music synthesis, into the presented frames
kill -0 "$pid" 2>/dev/null || fail "tarnix ended before Escape"
xdotool mousemove --sync 10 10 key --clearmodifiers Escape
for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$pid" 2>/dev/null && fail "tarnix still running 60 s after Escape"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status"
# On a CPU device (lavapipe here) it says so once, naming the way to a smoother picture.
if vulkaninfo --summary 2>/dev/null | grep -q 'PHYSICAL_DEVICE_TYPE_CPU'; then
  [ "$(grep -c 'drawing on the CPU.*--render-size' output.txt)" -eq 1 ] || fail "no single CPU-device line"
fi
