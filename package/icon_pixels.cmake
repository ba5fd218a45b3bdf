# Draws the programs' icon (cmake/SphereIcon.cmake) at one size as text that tools/icon_png
# turns into a PNG: a line "tarnix-icon SIZE", then SIZE rows from the top, each of SIZE
# ARGB words in hexadecimal (straight alpha).
#
#   cmake -DSIZE=<pixels> -DOUTPUT=<file> -P icon_pixels.cmake
if(NOT SIZE OR NOT OUTPUT)
  message(FATAL_ERROR "icon_pixels.cmake: pass -DSIZE=<pixels> -DOUTPUT=<file>")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/SphereIcon.cmake)

sphere_icon_begin(${SIZE})
set(text "tarnix-icon ${SIZE}\n")
math(EXPR last "${SIZE} - 1")
foreach(row RANGE 0 ${last})
  set(line "")
  foreach(column RANGE 0 ${last})
    sphere_icon_pixel(${column} ${row} argb)
    math(EXPR word "${argb}" OUTPUT_FORMAT HEXADECIMAL)
    string(APPEND line " ${word}")
  endforeach()
  string(APPEND text "${line}\n")
endforeach()
file(WRITE "${OUTPUT}.tmp" "${text}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
