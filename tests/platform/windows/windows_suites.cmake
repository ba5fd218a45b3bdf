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

# The wait of the frame loop's hold (also on Linux, tests/platform/CMakeLists.txt), and its
# fallback where Windows has no high-resolution timer: the timer period raised once and
# restored at exit, by a second Ctrl-C and by a fatal stop.
tarnix_add_test(NAME platform_os_wait_test LABEL cpu SOURCES os_wait_test.cpp LIBS tarnix_os)
tarnix_add_test(NAME platform_timer_period_test LABEL cpu SOURCES windows/timer_period_test.cpp LIBS tarnix_os)

# The manifest, version information and icon of the three programs, read back from the
# built files.
tarnix_add_test(NAME platform_resources_test LABEL cpu
  SOURCES windows/resources_test.cpp LIBS version shell32 tarnix_version)
add_dependencies(platform_resources_test tarnix tarnix1080 tarnix-music)

# The message box of a missing prerequisite, and none for the program's own fatal stops: the
# suite drives a GUI program with tarnix.exe's resources and answers its boxes. A copy
# of it in without-vulkan/ finds a vulkan-1.dll there that refuses to load.
add_executable(platform_prerequisite_probe windows/prerequisite_probe.cpp)
target_link_libraries(platform_prerequisite_probe PRIVATE tarnix_diagnostics tarnix_gfx tarnix_resources_tarnix)
set_target_properties(platform_prerequisite_probe PROPERTIES WIN32_EXECUTABLE ON)
set(tarnix_without_vulkan ${CMAKE_CURRENT_BINARY_DIR}/without-vulkan)
add_library(platform_failing_vulkan SHARED windows/failing_vulkan.cpp)
set_target_properties(platform_failing_vulkan PROPERTIES PREFIX "" OUTPUT_NAME vulkan-1
  RUNTIME_OUTPUT_DIRECTORY ${tarnix_without_vulkan})
target_link_options(platform_failing_vulkan PRIVATE -static)
add_custom_command(TARGET platform_prerequisite_probe POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${tarnix_without_vulkan}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:platform_prerequisite_probe> ${tarnix_without_vulkan}/)
tarnix_add_test(NAME platform_message_box_test LABEL window
  SOURCES windows/message_box_test.cpp LIBS tarnix_os)
add_dependencies(platform_message_box_test platform_prerequisite_probe platform_failing_vulkan)

# Not a suite: how late the frame after a hold starts on a fake 144 Hz display, the real
# frame loop offscreen (scripts/windows/hold-lateness runs it under Wine).
add_executable(platform_hold_lateness_bench windows/hold_lateness_bench.cpp)
target_link_libraries(platform_hold_lateness_bench PRIVATE tarnix_presentation tarnix_wave_out_silent)
