# Environment for the GPU and window suites (sourced by scripts/test).
# Vulkan: the test harness turns the Khronos validation layer on itself and fails a
# test on any validation message; lavapipe is the device on machines without a GPU.
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/tarnix-runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# Sound: machines without a sound card get SDL's paced dummy driver.
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
# Window suites need an X display: start a private Xvfb when there is none.
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  for n in $(seq 90 99); do
    if [ ! -e /tmp/.X11-unix/X$n ] && [ ! -e /tmp/.X$n-lock ]; then
      Xvfb :$n -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
      TARNIX_XVFB_PID=$!
      trap 'kill $TARNIX_XVFB_PID 2>/dev/null || true' EXIT
      export DISPLAY=:$n
      for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
      break
    fi
  done
fi
