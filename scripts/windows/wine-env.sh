# Environment for running the Windows build under Wine (sourced, with the build folder as
# $1). Everything is private to this run, so parallel runs never meet:
#   - a fresh Wine prefix inside the build folder (WINEARCH win64, Wine's debug output off),
#   - an Xvfb that picks a free display number itself and never resets (scripts/test-env.sh),
#   - a PulseAudio with one null sink (WINMM reaches it through Wine's PulseAudio driver;
#     its position advances in real time, which the wave-out suites need).
# All three are stopped when the sourcing shell exits. A missing tool is an error: setup
# installs them.
tarnix_wine_build=$(cd "$1" && pwd)
for tool in wine wineserver Xvfb pulseaudio pactl; do
  command -v "$tool" >/dev/null || { echo "wine-env: $tool is missing; run scripts/setup" >&2; return 1; }
done

TARNIX_WINE_RUNTIME=$(mktemp -d /tmp/tarnix-wine-XXXXXX)
export WINEPREFIX=$tarnix_wine_build/wine-prefix
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installers: nothing here uses .NET or HTML.
export WINEDLLOVERRIDES="mscoree,mshtml="
TARNIX_XVFB_PID=
TARNIX_PULSE_PID=

tarnix_wine_stop() {
  WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
  [ -n "$TARNIX_PULSE_PID" ] && kill "$TARNIX_PULSE_PID" 2>/dev/null || true
  [ -n "$TARNIX_XVFB_PID" ] && kill "$TARNIX_XVFB_PID" 2>/dev/null || true
  rm -rf "$TARNIX_WINE_RUNTIME"
}
trap tarnix_wine_stop EXIT

# Display.
Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp -noreset 3>"$TARNIX_WINE_RUNTIME/display" >/dev/null 2>&1 &
TARNIX_XVFB_PID=$!
for _ in $(seq 100); do [ -s "$TARNIX_WINE_RUNTIME/display" ] && break; sleep 0.1; done
[ -s "$TARNIX_WINE_RUNTIME/display" ] || { echo "wine-env: Xvfb did not start" >&2; return 1; }
export DISPLAY=":$(head -n 1 "$TARNIX_WINE_RUNTIME/display")"

# Sound: a null sink at the music's rate; parec on tarnix_null.monitor records what plays.
mkdir -p "$TARNIX_WINE_RUNTIME/pulse" "$TARNIX_WINE_RUNTIME/home"
chmod 700 "$TARNIX_WINE_RUNTIME/pulse"
XDG_RUNTIME_DIR=$TARNIX_WINE_RUNTIME/pulse HOME=$TARNIX_WINE_RUNTIME/home \
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disallow-exit \
  --high-priority=yes --realtime=yes --no-cpu-limit=yes \
  --load="module-null-sink sink_name=tarnix_null rate=44100" \
  --load="module-native-protocol-unix auth-anonymous=1 socket=$TARNIX_WINE_RUNTIME/pulse/native" \
  >"$TARNIX_WINE_RUNTIME/pulseaudio.log" 2>&1 &
TARNIX_PULSE_PID=$!
export PULSE_SERVER=unix:$TARNIX_WINE_RUNTIME/pulse/native
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || { echo "wine-env: PulseAudio did not start:" >&2; cat "$TARNIX_WINE_RUNTIME/pulseaudio.log" >&2; return 1; }
pactl set-default-sink tarnix_null

# A fresh prefix each run. The wineserver is started first, persistent for ten idle minutes
# (stopped on exit above), so each later start is quick; started after wineboot it would
# find wineboot's own server running and fail.
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
wineserver -p 600 || { echo "wine-env: wineserver did not start" >&2; return 1; }
wine wineboot -i >"$TARNIX_WINE_RUNTIME/wineboot.log" 2>&1 || {
  echo "wine-env: wineboot failed:" >&2; cat "$TARNIX_WINE_RUNTIME/wineboot.log" >&2; return 1; }
export TARNIX_WINE_ENV=1
