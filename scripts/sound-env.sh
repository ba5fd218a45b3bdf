# A private screen and sound server, to see and hear the presentation as a viewer would
# (sourced, with the screen's size as $1, 1280x720 when none):
#   - an Xvfb with a black root window that picks a free display number itself and never
#     resets (scripts/test-env.sh says why),
#   - a PulseAudio with one null sink, tarnix_null, at the music's rate; its monitor,
#     tarnix_null.monitor, records what plays.
# Exports DISPLAY and PULSE_SERVER. tarnix_sound_env_stop ends both; it is the exit trap here,
# and a script that sets its own trap calls it from there. A missing tool is an error: setup
# installs them.
for tool in Xvfb pulseaudio pactl; do
  command -v "$tool" >/dev/null || { echo "sound-env: $tool is missing; run scripts/setup" >&2; return 1; }
done

TARNIX_SOUND_RUNTIME=$(mktemp -d /tmp/tarnix-sound-env-XXXXXX)
TARNIX_XVFB_PID=
TARNIX_PULSE_PID=

tarnix_sound_env_stop() {
  [ -n "$TARNIX_PULSE_PID" ] && kill "$TARNIX_PULSE_PID" 2>/dev/null
  [ -n "$TARNIX_XVFB_PID" ] && kill "$TARNIX_XVFB_PID" 2>/dev/null
  TARNIX_PULSE_PID= TARNIX_XVFB_PID=
  rm -rf "$TARNIX_SOUND_RUNTIME"
}
trap tarnix_sound_env_stop EXIT

Xvfb -displayfd 3 -screen 0 "${1:-1280x720}x24" -br -nolisten tcp -noreset 3>"$TARNIX_SOUND_RUNTIME/display" >/dev/null 2>&1 &
TARNIX_XVFB_PID=$!
for _ in $(seq 100); do [ -s "$TARNIX_SOUND_RUNTIME/display" ] && break; sleep 0.1; done
[ -s "$TARNIX_SOUND_RUNTIME/display" ] || { echo "sound-env: Xvfb did not start" >&2; return 1; }
export DISPLAY=":$(head -n 1 "$TARNIX_SOUND_RUNTIME/display")"

mkdir -p "$TARNIX_SOUND_RUNTIME/pulse" "$TARNIX_SOUND_RUNTIME/home"
chmod 700 "$TARNIX_SOUND_RUNTIME/pulse"
XDG_RUNTIME_DIR=$TARNIX_SOUND_RUNTIME/pulse HOME=$TARNIX_SOUND_RUNTIME/home \
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disallow-exit \
  --high-priority=yes --realtime=yes --no-cpu-limit=yes \
  --load="module-null-sink sink_name=tarnix_null rate=44100" \
  --load="module-native-protocol-unix auth-anonymous=1 socket=$TARNIX_SOUND_RUNTIME/pulse/native" \
  >"$TARNIX_SOUND_RUNTIME/pulseaudio.log" 2>&1 &
TARNIX_PULSE_PID=$!
export PULSE_SERVER=unix:$TARNIX_SOUND_RUNTIME/pulse/native
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || {
  echo "sound-env: PulseAudio did not start:" >&2; cat "$TARNIX_SOUND_RUNTIME/pulseaudio.log" >&2; return 1; }
pactl set-default-sink tarnix_null
