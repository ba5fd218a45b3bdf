#!/usr/bin/env bash
# The Debian package as a user gets it: unpacked into a temporary root (dpkg -x) and run
# from there. Its fields and files, the programs from the root (tarnix-music --pcm16 and a
# few frames of tarnix-capture at 32x18, with the Vulkan validation layer on: any message
# fails), the installed manual pages rendered by man, the desktop entry, and lintian
# without an error. scripts/release runs it on the package it makes (so the test command
# does, in its release leg).
#
#   deb_test.sh PACKAGE.deb VERSION
set -u
deb=$1 version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
[ -f "$deb" ] || { echo "FAIL no package $deb"; exit 1; }

# The fields: the version, the Vulkan loader and a driver, the libraries the programs link.
depends=$(dpkg-deb --field "$deb" Depends)
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "Version is $(dpkg-deb --field "$deb" Version)"
for needed in 'mesa-vulkan-drivers | vulkan-icd' libvulkan1 libsdl2-2.0-0 libfreetype6 libfontconfig1 libpng16-16 libc6; do
  grep -qF -- "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done

root=$work/root
dpkg -x "$deb" "$root"
for file in usr/bin/tarnix usr/bin/tarnix1080 usr/bin/tarnix-capture usr/bin/tarnix-music \
  usr/share/man/man1/tarnix.1.gz usr/share/man/man1/tarnix1080.1.gz usr/share/man/man1/tarnix-capture.1.gz \
  usr/share/man/man1/tarnix-music.1.gz usr/share/applications/tarnix.desktop usr/share/doc/tarnix/copyright \
  usr/share/doc/tarnix/changelog.gz; do
  [ -e "$root/$file" ] || fail "the package lacks /$file"
done
for size in 16 22 24 32 48 64 128 256; do
  icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/tarnix.png
  [ "$(identify -format '%wx%h %[channels]' "$icon" 2>&1)" = "${size}x${size} srgba" ] ||
    fail "/usr/share/icons/hicolor/${size}x${size}/apps/tarnix.png: $(identify "$icon" 2>&1)"
done
desktop-file-validate "$root/usr/share/applications/tarnix.desktop" || fail "the desktop entry is not valid"

# The programs, from the root.
bin=$root/usr/bin
[ "$("$bin/tarnix" --version)" = "tarnix $version (render size 960x540)" ] || fail "tarnix --version: $("$bin/tarnix" --version)"
[ "$("$bin/tarnix1080" --version)" = "tarnix1080 $version (render size 1920x1080)" ] || fail "tarnix1080 --version"
# The validation layer, loaded by the loader into programs that do not ask for it, reports
# warnings and errors, synchronization hazards too, on standard output.
cat >"$work/vk_layer_settings.txt" <<'EOF'
khronos_validation.report_flags = error,warn
khronos_validation.debug_action = VK_DBG_LAYER_ACTION_LOG_MSG
khronos_validation.log_filename = stdout
khronos_validation.enables = VK_VALIDATION_FEATURE_ENABLE_SYNCHRONIZATION_VALIDATION_EXT
EOF
validated() {
  env VK_INSTANCE_LAYERS=VK_LAYER_KHRONOS_validation VK_LAYER_SETTINGS_PATH="$work/vk_layer_settings.txt" "$@"
}
run() {  # name command...: runs it in $work, output in $work/name.log; fails on a message
  local name=$1
  shift
  (cd "$work" && validated "$@") >"$work/$name.log" 2>&1 || fail "$name: exit status $?: $(tail -n 5 "$work/$name.log")"
  grep -iE 'validation (error|warning)|VUID-|SYNC-HAZARD' "$work/$name.log" && fail "$name: validation messages"
}
run music "$bin/tarnix-music" --pcm16 music.wav
# 180 s of 44,100 Hz stereo 16-bit samples after a 44-byte header.
[ "$(stat -c %s "$work/music.wav" 2>/dev/null)" = $((44 + 180 * 44100 * 4)) ] || fail "music.wav: $(ls -l "$work/music.wav" 2>&1)"
run capture "$bin/tarnix-capture" --render-size 32x18 --to 3 --out frames
for frame in 0 1 2 3; do
  [ "$(identify -format '%wx%h' "$work/frames/frame_000$frame.png" 2>&1)" = 32x18 ] || fail "frame $frame: $(ls "$work/frames")"
done
[ -s "$work/frames/music.wav" ] || fail "the capture wrote no music.wav"

# The installed pages, as man shows them to a reader: no warning, the page's own NAME.
for page in tarnix tarnix1080 tarnix-capture tarnix-music; do
  warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man $page: $warnings"
  MANWIDTH=80 MANPAGER=cat man -l "$root/usr/share/man/man1/$page.1.gz" | grep -qE "^ +(tarnix, )?$page(, tarnix1080)? - " ||
    fail "man $page: no NAME line naming $page"
done

# lintian: no error; its other tags are listed (docs/installing.md says why each stays).
lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1
grep -E '^[A-Z]: ' "$work/lintian.log" | sed 's/^/  lintian: /'
grep -q '^E:' "$work/lintian.log" && fail "lintian reports errors"

[ "$failures" -eq 0 ] && echo "package: $(basename "$deb") ($(stat -c %s "$deb") bytes) installs and runs from a temporary root"
exit "$failures"
