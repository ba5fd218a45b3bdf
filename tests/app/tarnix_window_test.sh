#!/usr/bin/env bash
# A --windowed run follows its window. Made larger and smaller, hidden and shown again (what a
# window manager does to a minimised window; the test's X server has none), it keeps
# presenting, its picture fills the window at each size, and Escape ends it with status 0 and
# no error. The timeline lights the scene from frame 0, so a part of the window left unfilled
# shows as black.
# Usage: tarnix_window_test.sh PROGRAM [RUNNER]   (RUNNER: e.g. wine, for the Windows build)
# Needs DISPLAY (scripts/test-env.sh starts Xvfb), xdotool and ImageMagick.
set -u
program=$(realpath "$1")
runner=${2:-}
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: source scripts/test-env.sh first"; exit 1; }
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
workdir=$(mktemp -d) && cd "$workdir" && trap 'rm -rf "$workdir"' EXIT
pid=
fail() { echo "window test: $1"; cat output.txt; [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; exit 1; }
alive() { kill -0 "$pid" 2>/dev/null || fail "the program ended $1"; }

printf '{"CM::Bright":{"type":"FLOAT","frames":[{"frame":0,"easing":"None","value":1.0}]}}' >lit.json
$runner "$program" --windowed=320x180 --render-size 64x36 --no-sound --timeline lit.json >output.txt 2>&1 &
pid=$!
window=
for _ in $(seq 300); do
  window=$(xdotool search --name '^TARNIX$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
  alive "before its window appeared"
  sleep 0.2
done
[ -n "$window" ] || fail "no TARNIX window appeared"
sleep 5  # past the music synthesis, into the lit frames

# The window's picture is W x H and none of its quarters is dark.
filled() {
  sleep 3  # some frames at the new size
  alive "at ${1}x${2}"
  import -window "$window" shot.png 2>/dev/null || fail "no picture of the window at ${1}x${2}"
  local size darkest
  size=$(identify -format '%wx%h' shot.png)
  [ "$size" = "${1}x${2}" ] || fail "the window is $size, not ${1}x${2}"
  darkest=$(convert shot.png -crop 2x2@ +repage -format '%[fx:mean] ' info: | tr ' ' '\n' | sort -g | head -n 1)
  awk -v d="$darkest" 'BEGIN { exit !(d > 0.1) }' || fail "a quarter of the ${1}x${2} window is dark (mean $darkest)"
  echo "window test: ${1}x${2} filled (darkest quarter $darkest)"
}

filled 320 180
xdotool windowsize "$window" 640 400
filled 640 400
xdotool windowunmap "$window"
sleep 3
alive "while hidden"
xdotool windowmap "$window"
filled 640 400
xdotool windowsize "$window" 200 120
filled 200 120

xdotool mousemove --sync 10 10 key --window "$window" --clearmodifiers Escape
for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$pid" 2>/dev/null && fail "still running 60 s after Escape"
wait "$pid"
status=$?
pid=
[ "$status" -eq 0 ] || fail "exit status $status"
grep -E "PANIC|ASSERT|^gfx:" output.txt && fail "an error was printed"
echo "window test: passed"
