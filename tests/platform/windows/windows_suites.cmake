# Suites of the Windows backends (Win32 window, GDI text, WINMM wave-out), run under Wine.
tarnix_add_test(NAME platform_spirv_reflection_test LABEL cpu
  SOURCES spirv_reflection_test.cpp
  LIBS tarnix_gfx tarnix_platform_test_shaders tarnix_vulkan_headers)

# The window under Wine's X11 driver (the test environment's private Xvfb).
tarnix_add_test(NAME platform_window_test LABEL window
  SOURCES window_test.cpp LIBS tarnix_gpu_test_support tarnix_window tarnix_os)

# WINMM through Wine's PulseAudio driver to the test environment's null sink.
tarnix_add_test(NAME platform_wave_out_winmm_test LABEL audio
  SOURCES windows/wave_out_winmm_test.cpp LIBS tarnix_audio_streamer tarnix_wave_out)
