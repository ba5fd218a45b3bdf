#!/usr/bin/env bash
# tarnix --edit on a real display, driven as a person would: the file is made, the editor's
# address is printed and handed to the browser (--open), a save is on
# screen within a second (the program says so), a broken save leaves it running with the
# error, the keys move the picture and write bookmarks into the file, Ctrl+S writes the
# header, Escape ends it with status 0. Needs DISPLAY (scripts/test-env.sh) and xdotool.
set -u
program=$(realpath "$1")
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: source scripts/test-env.sh first"; exit 1; }
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
workdir=$(mktemp -d) && cd "$workdir" && trap 'rm -rf "$workdir"' EXIT
mkdir code
fail() { echo "FAIL: $1"; cat output.txt; kill -9 "$pid" 2>/dev/null; exit 1; }
wait_for() {  # pattern seconds: until output.txt holds the pattern
  for _ in $(seq $(($2 * 10))); do grep -q -- "$1" output.txt && return 0; sleep 0.1; done
  return 1
}
# Keys go to the window under the pointer (no window manager): into the middle of it.
key() {
  local X Y WIDTH HEIGHT WINDOW SCREEN
  eval "$(xdotool search --name '^TARNIX$' getwindowgeometry --shell | head -n 5)"
  xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) key --clearmodifiers "$@"
}
set_brightness() {  # the value of the key at frame 579
  sed -i -E "s/\{\"frame\":579,\"easing\":\"None\",\"value\":[^}]*\}/{\"frame\":579,\"easing\":\"None\",\"value\":$1}/" show.json
}

# --open hands the editor's address to xdg-open: a stand-in here writes down what it was given.
mkdir bin && printf '#!/bin/sh\necho "$@" >"%s/opened.txt"\n' "$workdir" >bin/xdg-open && chmod +x bin/xdg-open
PATH="$workdir/bin:$PATH" "$program" --edit show.json --open --render-size 64x36 --windowed=320x180 >output.txt 2>&1 &
pid=$!
wait_for 'show.json did not exist; it now holds the built-in timeline' 10 || fail "no word of the new file"
wait_for '^editor: http://127.0.0.1:[0-9]*/?token=[0-9a-f]\{32\}$' 10 || fail "no editor address"
for _ in $(seq 50); do [ -s opened.txt ] && break; sleep 0.1; done
[ "editor: $(cat opened.txt 2>/dev/null)" = "$(grep '^editor: ' output.txt)" ] || fail "--open handed over '$(cat opened.txt 2>/dev/null)'"
for _ in $(seq 150); do xdotool search --name '^TARNIX$' >/dev/null 2>&1 && break; sleep 0.2; done
sleep 3  # past the music synthesis

set_brightness 2.5
wait_for 'show.json: reloaded (on screen [0-9]* ms after the save)' 10 || fail "the save was not reloaded"
sed -i 's/"easing":"Linear"/"easing":"Lineer"/' show.json
wait_for 'show.json:1:[0-9]*: unknown easing "Lineer"' 10 || fail "the broken save was not reported"
kill -0 "$pid" 2>/dev/null || fail "a broken file ended the program"
key b  # refused while the file does not load
wait_for 'not written, the file does not load' 10 || fail "a bookmark was written over a broken file"
sed -i 's/"easing":"Lineer"/"easing":"Linear"/' show.json
for _ in $(seq 100); do [ "$(grep -c 'show.json: reloaded' output.txt)" -ge 2 ] && break; sleep 0.1; done
[ "$(grep -c 'show.json: reloaded' output.txt)" -ge 2 ] || fail "the mended file was not reloaded"

key space  # paused, so the frame stays where the keys put it
key Home
key Next  # to 3254
key b
wait_for 'bookmark removed at frame 3254' 10 || fail "Page Down then B did not remove the bookmark at 3254"
grep -q '"__bookmarks__": \[0,3255,' show.json || fail "the bookmark is still in the file"
key ctrl+s
wait_for 'header written: code/tarnix_timeline.json.h' 10 || fail "Ctrl+S wrote no header"
grep -q '^const char TIMELINE_JSON_DATA\[\] = "{\\"__bookmarks__\\": \[0,3255,' code/tarnix_timeline.json.h || fail "the header does not hold the file"

key Escape
for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$pid" 2>/dev/null && fail "still running 60 s after Escape"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status"
grep -q 'frames presented' output.txt || fail "no summary line"
echo "tarnix --edit: saves reloaded, errors shown, keys and Ctrl+S wrote the file and the header"
