# The Windows backends (included by CMakeLists.txt here when cross-compiling for Windows):
# Win32 for the OS services and the window, GDI for text, WINMM for sound, and the same
# Vulkan backend as Linux, which opens vulkan-1.dll at run time.

# mingw does not search the host's /usr/include; this folder of the build tree offers the
# Vulkan headers alone.
set(TARNIX_HOST_INCLUDE_DIR /usr/include CACHE PATH "where the host's Vulkan headers live")
set(TARNIX_VULKAN_INCLUDE_DIR ${CMAKE_BINARY_DIR}/vulkan-include)
file(MAKE_DIRECTORY ${TARNIX_VULKAN_INCLUDE_DIR})
foreach(folder vulkan vk_video)
  if(NOT EXISTS ${TARNIX_HOST_INCLUDE_DIR}/${folder})
    message(FATAL_ERROR "${TARNIX_HOST_INCLUDE_DIR}/${folder} is missing: run scripts/setup (libvulkan-dev)")
  endif()
  file(CREATE_LINK ${TARNIX_HOST_INCLUDE_DIR}/${folder} ${TARNIX_VULKAN_INCLUDE_DIR}/${folder} SYMBOLIC)
endforeach()
add_library(tarnix_vulkan_headers INTERFACE)
target_include_directories(tarnix_vulkan_headers SYSTEM INTERFACE ${TARNIX_VULKAN_INCLUDE_DIR})

add_library(tarnix_os STATIC win32/os_win32.cpp)
target_link_libraries(tarnix_os PRIVATE psapi)

add_library(tarnix_window STATIC win32/window_win32.cpp)
target_link_libraries(tarnix_window PUBLIC tarnix_os PRIVATE tarnix_vulkan_headers user32)

add_library(tarnix_text_raster STATIC gdi/text_raster_gdi.cpp)
target_link_libraries(tarnix_text_raster PUBLIC tarnix_os PRIVATE gdi32)

add_library(tarnix_wave_out STATIC winmm/wave_out_winmm.cpp)
target_link_libraries(tarnix_wave_out PUBLIC tarnix_os PRIVATE winmm)

# A wave-out device that plays nothing (the presentation's tests).
add_library(tarnix_wave_out_silent STATIC silent/wave_out_silent.cpp)

add_subdirectory(vulkan)
target_link_libraries(tarnix_gfx PRIVATE tarnix_vulkan_headers)
