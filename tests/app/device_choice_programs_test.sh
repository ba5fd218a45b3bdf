#!/usr/bin/env bash
# The three programs on a machine with three Vulkan drivers: lavapipe, SwiftShader (in
# Debian's chromium package) and the Khronos mock driver, a device that lacks most of what
# the programs need (written a driver file here).
#  - --list-devices names every device with its type, driver and version, and why the mock
#    cannot run the program;
#  - without --device the mock is skipped, with its reasons, and the next that can is taken;
#  - --device by number or by part of the name takes lavapipe or SwiftShader: tarnix-music
#    on each, tarnix-capture on each that can run it (or it stops with the reason the list gave);
#  - --device naming no device ends with status 2; naming the mock, with its reasons, the
#    PANIC and status 3, leaving no file behind;
#  - with MESA_VK_DEVICE_SELECT the driver's order is kept;
#  - without any driver the programs say so and name the Debian package that brings one.
# Usage: device_choice_programs_test.sh TARNIX TARNIX_CAPTURE TARNIX_MUSIC
set -u
tarnix=$(realpath "$1")
capture=$(realpath "$2")
music=$(realpath "$3")
lavapipe=/usr/share/vulkan/icd.d/lvp_icd.json
swiftshader=/usr/lib/chromium/vk_swiftshader_icd.json
mock=/usr/lib/chromium/libVkICD_mock_icd.so
for file in "$lavapipe" "$swiftshader" "$mock"; do
  [ -e "$file" ] || { echo "$file is missing: run scripts/setup"; exit 1; }
done
workdir=$(mktemp -d) && cd "$workdir" && trap 'rm -rf "$workdir"' EXIT
printf '{"file_format_version": "1.0.1", "ICD": {"library_path": "%s", "api_version": "1.3.0"}}\n' "$mock" >mock.json
# The loader reads VK_DRIVER_FILES before VK_ICD_FILENAMES.
export VK_ICD_FILENAMES=$workdir/mock.json:$lavapipe:$swiftshader
unset VK_DRIVER_FILES MESA_VK_DEVICE_SELECT DRI_PRIME
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
failures=0
fail() { echo "FAIL $1"; cat out.txt; failures=$((failures + 1)); }
# run EXPECTED-STATUS PROGRAM ARGS...: output in out.txt, without SwiftShader's notes about
# structures it does not know.
run() {
  local expected=$1
  shift
  "$@" 2>&1 | grep -v 'WARNING: UNSUPPORTED' >out.txt
  local status=${PIPESTATUS[0]}
  [ "$status" -eq "$expected" ] || fail "$(basename "$1") ${*:2}: status $status, not $expected"
}
expect() {  # what pattern: out.txt holds a line matching pattern
  grep -Eq -- "$2" out.txt || fail "$1 (no line matching '$2')"
}

for program in "$tarnix" "$capture" "$music"; do
  run 0 "$program" --list-devices
  name=$(basename "$program")
  expect "$name lists the mock first (a virtual GPU before CPUs)" '^0: Vulkan Mock Device$'
  expect "$name says why the mock cannot" '^   not usable: no dynamic rendering, no timeline semaphores'
  expect "$name lists lavapipe with its driver" '^   CPU, driver llvmpipe Mesa .*, Vulkan 1\.[3-9]'
  expect "$name lists SwiftShader" '^[0-9]: SwiftShader Device \(Subzero\)$'
  run 2 "$program" --device 9
  expect "$name refuses a device number past the list" "no device is named '9' \(the devices: 0 Vulkan Mock Device; "
done

# The devices' numbers, and whether SwiftShader can run the presentation, from the list.
run 0 "$capture" --list-devices
lavapipe_index=$(sed -nE 's/^([0-9]): llvmpipe.*/\1/p' out.txt)
swiftshader_usable=$(grep -A2 '^[0-9]: SwiftShader' out.txt | tail -n 1)

run 0 "$music" default.wav
expect "the first that can is taken, the mock skipped with its reasons" \
  '^Drawing with device [12], .*; skipped device 0, Vulkan Mock Device: no dynamic rendering'
run 0 "$music" --device "$lavapipe_index" lavapipe.wav
expect "tarnix-music takes lavapipe by number" "^Drawing with device $lavapipe_index, llvmpipe .*, as asked$"
run 0 "$music" --device=swiftshader swiftshader.wav
expect "tarnix-music takes SwiftShader by name" '^Drawing with device [0-9], SwiftShader Device \(Subzero\), as asked$'
[ "$(stat -c %s lavapipe.wav)" = "$(stat -c %s swiftshader.wav)" ] || fail "the two devices' music differs in length"

run 0 "$capture" --device LLVMPIPE --render-size 32x18 --to 1 --out lavapipe
[ -s lavapipe/frame_0001.png ] || fail "tarnix-capture on lavapipe wrote no frame"
# "usable", or "usable, the one taken unless another is asked for" where it comes first.
if [[ "$swiftshader_usable" == "   usable"* ]]; then
  run 0 "$capture" --device swiftshader --render-size 32x18 --to 1 --out swiftshader
  [ -s swiftshader/frame_0001.png ] || fail "tarnix-capture on SwiftShader wrote no frame"
else
  run 3 "$capture" --device swiftshader --render-size 32x18 --to 1 --out swiftshader
  reason=${swiftshader_usable#   not usable: }
  grep -q "^gfx: no device has everything needed: device [0-9], SwiftShader Device (Subzero): " out.txt &&
    grep -Fq ": $reason" out.txt || fail "tarnix-capture does not stop with the reason the list gave ($reason)"
fi

run 3 "$music" --device mock mock.wav
expect "the mock, asked for, is refused with its reasons" '^gfx: no device has everything needed: device 0, Vulkan Mock Device: no dynamic rendering'
expect "then the PANIC" '^PANIC: Failed to aquire adapter$'
ls mock.wav* >/dev/null 2>&1 && fail "a refused device left a file behind"

# Mesa's device-select layer puts the device asked for first; the programs keep that order.
MESA_VK_DEVICE_SELECT=10005:0000 run 0 "$music" --list-devices
expect "MESA_VK_DEVICE_SELECT's order is kept" '^0: llvmpipe'

# No driver at all.
export VK_ICD_FILENAMES=$workdir/no-driver.json
run 3 "$music" nothing.wav
expect "without a driver tarnix-music says so" '^gfx: no Vulkan 1\.3 driver was found .*mesa-vulkan-drivers'
run 1 "$tarnix" --list-devices
expect "without a driver --list-devices says so" '^gfx: no Vulkan 1\.3 driver was found'
if [ -n "${DISPLAY:-}" ]; then
  run 3 "$tarnix" --windowed
  expect "without a driver tarnix names the package" 'mesa-vulkan-drivers'
  expect "then stops before opening a window" '^PANIC: Failed to create factory$'
  grep -q SDL_CreateWindow out.txt && fail "the window was tried without a driver"
fi
exit "$failures"
