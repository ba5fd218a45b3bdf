# Environment for the GPU and window suites (sourced by scripts/test).
# Vulkan: the test harness turns the Khronos validation layer on itself and fails a
# test on any validation message; lavapipe is the device on machines without a GPU.
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/tarnix-runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# Sound: machines without a sound card get SDL's paced dummy driver.
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
# Window suites need an X display: start a private Xvfb when there is none. Xvfb picks a
# free display number itself (-displayfd), so parallel runs never collide. -noreset: without it
# the server resets whenever its last client leaves and closes every connection that arrived
# meanwhile; a suite whose first write met such a connection died of SIGPIPE (every Vulkan
# instance connects: Mesa's device-select layer asks the display for its GPU, writing with
# libxcb, which does not guard against SIGPIPE).
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  TARNIX_XVFB_NUMBER=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$TARNIX_XVFB_NUMBER" >/dev/null 2>&1 &
  TARNIX_XVFB_PID=$!
  trap 'kill $TARNIX_XVFB_PID 2>/dev/null || true; rm -f "$TARNIX_XVFB_NUMBER"' EXIT
  for _ in $(seq 100); do [ -s "$TARNIX_XVFB_NUMBER" ] && break; sleep 0.1; done
  if [ -s "$TARNIX_XVFB_NUMBER" ]; then
    export DISPLAY=":$(head -n 1 "$TARNIX_XVFB_NUMBER")"
  else
    echo "test-env: Xvfb did not start; the window suites will be skipped" >&2
  fi
fi
