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
cpu=false
vulkaninfo --summary 2>/dev/null | grep -q 'PHYSICAL_DEVICE_TYPE_CPU' && cpu=true
sleep 4  # past the music synthesis, into the presented frames
# On a CPU device the program measures its first frames to choose a render size, then says it.
if $cpu; then
  for _ in $(seq 300); do grep -q 'drawing on the CPU' output.txt && break; sleep 0.2; done
fi
kill -0 "$pid" 2>/dev/null || fail "tarnix ended before Escape"
xdotool mousemove --sync 10 10 key --clearmodifiers Escape
for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$pid" 2>/dev/null && fail "tarnix still running 60 s after Escape"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status"
# On a CPU device (lavapipe here) it says once which size it chose and why, and how to set one.
if $cpu; then
  [ "$(grep -c 'drawing on the CPU.*rendering at [0-9]*x[0-9]*.*--render-size WxH or native' output.txt)" -eq 1 ] ||
    fail "no single CPU-device line naming the size chosen"
fi
