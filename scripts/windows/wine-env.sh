# Environment for running the Windows build under Wine (sourced, with the build folder as
# $1). Everything is private to this run, so parallel runs never meet:
#   - a fresh Wine prefix inside the build folder (WINEARCH win64, Wine's debug output off),
#   - an Xvfb that never resets and a PulseAudio with one null sink (scripts/sound-env.sh; the
#     screen is TARNIX_WINE_SCREEN, 1280x720 unless set): WINMM reaches the sink through Wine's
#     PulseAudio driver, and its position advances in real time, which the wave-out suites need.
# All three are stopped when the sourcing shell exits. A missing tool is an error: setup
# installs them.
tarnix_wine_build=$(cd "$1" && pwd)
for tool in wine wineserver; do
  command -v "$tool" >/dev/null || { echo "wine-env: $tool is missing; run scripts/setup" >&2; return 1; }
done

source "$(dirname "${BASH_SOURCE[0]}")/../sound-env.sh" "${TARNIX_WINE_SCREEN:-1280x720}" || return 1
export WINEPREFIX=$tarnix_wine_build/wine-prefix
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installers: nothing here uses .NET or HTML.
export WINEDLLOVERRIDES="mscoree,mshtml="

tarnix_wine_stop() {
  WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
  tarnix_sound_env_stop
}
trap tarnix_wine_stop EXIT

# A fresh prefix each run. The wineserver is started first, persistent for ten idle minutes
# (stopped on exit above), so each later start is quick; started after wineboot it would
# find wineboot's own server running and fail.
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
wineserver -p 600 || { echo "wine-env: wineserver did not start" >&2; return 1; }
wine wineboot -i >"$TARNIX_SOUND_RUNTIME/wineboot.log" 2>&1 || {
  echo "wine-env: wineboot failed:" >&2; cat "$TARNIX_SOUND_RUNTIME/wineboot.log" >&2; return 1; }
export TARNIX_WINE_ENV=1
