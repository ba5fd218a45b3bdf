#!/usr/bin/env bash
# Timeline files that cannot be used: each gets one line "FILE:LINE:COLUMN: what is wrong"
# (or "FILE: reason") on standard error and status 1, before any window, device or sound is
# opened (there is no display here), and nothing else happens. --edit makes a missing file
# from the built-in timeline first.
set -u
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
run() { env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy "$program" "$@" >out 2>err; }
refused() {  # file-content expected-line [option]
  printf '%s' "$1" >t.json
  run "${3:---timeline}" t.json
  local status=$?
  if [ "$status" -ne 1 ] || [ "$(cat err)" != "$2" ] || [ -s out ]; then
    echo "FAIL: $1"; echo "  status $status, expected 1"; echo "  stderr: $(cat err)"; echo "  wanted: $2"
    echo "  stdout: $(cat out)"; failures=$((failures + 1))
  fi
}
key='{"frame":0,"easing":"None","value":1}'
refused '' 't.json:1:1: the text holds no JSON value'
refused '{"CM::Bright":{"type":"FLOAT","frames":[' 't.json:1:41: expected a value, found end of the text'
refused '{"CM::Brite":{"type":"FLOAT","frames":[]}}' 't.json:1:2: unknown track "CM::Brite" (the tracks are SM::NumPart, SM::SceneID, SM::TimeSc, CM::Pos, CM::Dir, CM::Bright, CM::Fov, BP::BkgColor, DF::FocusSc, DF::FocusPt, TR::BlendFct, AT::Steps, PT::SampleCnt)'
refused '{"CM::Pos":{"type":"FLOAT","frames":[]}}' 't.json:1:20: track "CM::Pos" is FLOAT3, not FLOAT'
refused "{\"CM::Bright\":{\"type\":\"FLOAT\",\"frames\":[{\"frame\":10843,\"easing\":\"None\",\"value\":1}]}}" 't.json:1:50: "frame" must be a frame number (0 to 10842)'
refused "{\"CM::Bright\":{\"type\":\"FLOAT\",\"frames\":[$key,$key]}}" 't.json:1:88: frame 0 has a key already'
refused '{"CM::Bright":{"type":"FLOAT","frames":[{"frame":0,"easing":"None","value":1e39}]}}' \
  't.json:1:76: the value of a FLOAT key is beyond the single-precision range (about 3.4e38)'
refused '{"CM::Bright":{"type":"FLOAT","frames":[{"frame":0,"easing":"Bounce","value":1}]}}' \
  't.json:1:61: unknown easing "Bounce" (None, Linear, QuadraticIn, ..., BounceInOut)'
refused '{"__bookmarks__":[-1]}' 't.json:1:19: a bookmark must be a frame number (0 to 10842)' --edit
refused $'{\n  "CM::Dir": {"type": "FLOAT3", "frames": [{"frame": 0, "easing": "None", "value": [1, 2]}]}\n}' \
  't.json:2:84: the value of a FLOAT3 key must be an array of three numbers'

run --timeline missing.json
[ $? -eq 1 ] && [ "$(cat err)" = "missing.json: No such file or directory" ] || { echo "FAIL: a missing file: $(cat err)"; failures=$((failures + 1)); }
run --edit no/such/dir.json
[ $? -eq 1 ] && [ "$(cat err)" = "no/such/dir.json: No such file or directory" ] || { echo "FAIL: an unwritable file: $(cat err)"; failures=$((failures + 1)); }

# A missing file to edit is made from the built-in timeline, then the program goes on (and
# stops here for want of a display).
run --edit new.json
grep -q 'new.json did not exist; it now holds the built-in timeline' out || { echo "FAIL: no word of the new file"; failures=$((failures + 1)); }
grep -q '^{"__bookmarks__": \[0,3254,3255,5208,5318,6256,6829,7400\],"SM::NumPart":' new.json || { echo "FAIL: new.json does not hold the built-in timeline"; failures=$((failures + 1)); }
[ "$(wc -c <new.json)" -eq 4871 ] || { echo "FAIL: new.json is not 4871 bytes"; failures=$((failures + 1)); }
exit "$failures"
