# The web backends (emscripten): the window is the page's canvas, the sound an AudioWorklet,
# the text a canvas with the site's face, gfx.h on WebGPU (platform/webgpu/).
add_library(tarnix_os STATIC web/os_web.cpp)

add_library(tarnix_text_raster STATIC web/text_raster_canvas.cpp)
target_link_libraries(tarnix_text_raster PUBLIC tarnix_os)

add_library(tarnix_wave_out STATIC web/wave_out_web.cpp)
target_link_libraries(tarnix_wave_out PUBLIC tarnix_os)

add_library(tarnix_wave_out_silent STATIC silent/wave_out_silent.cpp)

add_library(tarnix_window STATIC web/window_web.cpp)

# The program's page, told what happens (programs/main_web.cpp).
add_library(tarnix_web_page STATIC web/page.cpp)
target_link_libraries(tarnix_window PUBLIC tarnix_os)

# The EM_JS glue defines no symbol that would pull it out of an archive: the program links its
# object itself.
add_library(tarnix_gfx_glue OBJECT webgpu/webgpu_glue.cpp)
add_library(tarnix_gfx STATIC
  webgpu/wg_resources.cpp webgpu/wg_device.cpp webgpu/wg_graphics_pipeline.cpp
  webgpu/wg_command_list.cpp webgpu/wg_swap_chain.cpp)
target_link_libraries(tarnix_gfx PUBLIC tarnix_window)

# The JavaScript the program's glue calls into, prepended to its module (platform/web/program.cmake).
set(TARNIX_WEB_PRE_JS ${CMAKE_CURRENT_SOURCE_DIR}/webgpu/gfx_webgpu.js ${CMAKE_CURRENT_SOURCE_DIR}/web/web_platform.js
    CACHE INTERNAL "")
