#!/usr/bin/env bash
# The program on a real display: it starts, keeps presenting, and Escape ends it with
# status 0. Needs DISPLAY (scripts/test-env.sh starts Xvfb) and xdotool.
set -u
program=$(realpath "$1")
if [ -z "${DISPLAY:-}" ]; then echo "no DISPLAY: source scripts/test-env.sh first"; exit 1; fi
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
workdir=$(mktemp -d)
trap 'rm -rf "$workdir"' EXIT
cd "$workdir"

"$program" >output.txt 2>&1 &
pid=$!
window=""
for _ in $(seq 150); do
  window=$(xdotool search --name '^TARNIX$' 2>/dev/null | head -n1)
  [ -n "$window" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
if [ -z "$window" ]; then
  echo "no TARNIX window appeared"; cat output.txt; kill "$pid" 2>/dev/null; exit 1
fi
# Past the music synthesis and well into the presented frames.
sleep 4
if ! kill -0 "$pid" 2>/dev/null; then echo "tarnix ended before Escape"; cat output.txt; exit 1; fi
xdotool mousemove --sync 10 10
xdotool key --clearmodifiers Escape
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
if kill -0 "$pid" 2>/dev/null; then
  echo "tarnix still running 20 s after Escape"; kill -9 "$pid"; cat output.txt; exit 1
fi
wait "$pid"
status=$?
cat output.txt
[ "$status" -eq 0 ] || { echo "exit status $status"; exit 1; }
