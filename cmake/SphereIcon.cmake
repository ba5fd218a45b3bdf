# The programs' icon: a lit sphere like the ones the presentation traces. Each size is drawn
# for itself, never scaled from another. The Windows resources
# (platform/win32/resources/icon.cmake) and the Linux desktop icons (package/) draw with it:
#
#   sphere_icon_begin(SIZE)                 the geometry of a SIZE x SIZE image
#   sphere_icon_pixel(COLUMN ROW OUT)       OUT = that pixel's ARGB, one integer, straight
#                                           alpha; 0 outside the sphere
#
# CMake's arithmetic is integer only: positions are in 1/16 pixel, colours and weights in
# thousandths. The edge is anti-aliased from the distance to the circle, (r^2 - d^2) / 2r.

# Colour stops from the rim to the highlight (R G B), and the specular spot.
set(sphere_icon_rim 28 18 70)
set(sphere_icon_body 208 84 36)
set(sphere_icon_light 255 214 150)
set(sphere_icon_spot 255 250 235)

function(sphere_icon_mix out a b weight)  # weight in thousandths, a and b lists of three
  set(result "")
  foreach(i 0 1 2)
    list(GET a ${i} x)
    list(GET b ${i} y)
    math(EXPR v "${x} + (${y} - ${x}) * ${weight} / 1000")
    list(APPEND result ${v})
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

macro(sphere_icon_begin size)
  math(EXPR sphere_icon_centre "${size} * 8")
  math(EXPR sphere_icon_margin "${size} * 16 / 16")  # one pixel at 16, three at 48
  math(EXPR sphere_icon_radius "${size} * 8 - ${sphere_icon_margin}")
  math(EXPR sphere_icon_radius2 "${sphere_icon_radius} * ${sphere_icon_radius}")
  # The highlight sits up and to the left; its glow reaches about 1.7 radii.
  math(EXPR sphere_icon_hx "${sphere_icon_centre} - ${sphere_icon_radius} * 36 / 100")
  math(EXPR sphere_icon_hy "${sphere_icon_centre} - ${sphere_icon_radius} * 40 / 100")
  math(EXPR sphere_icon_reach2 "${sphere_icon_radius2} * 29 / 10")
  math(EXPR sphere_icon_spot2 "${sphere_icon_radius2} / 40")
endmacro()

function(sphere_icon_pixel column row out)
  math(EXPR dx "${column} * 16 + 8 - ${sphere_icon_centre}")
  math(EXPR dy "${row} * 16 + 8 - ${sphere_icon_centre}")
  # Coverage of the pixel: 255 inside, 0 outside, a ramp one pixel wide at the edge.
  math(EXPR alpha "128 + (${sphere_icon_radius2} - (${dx} * ${dx} + ${dy} * ${dy})) * 255 / (2 * ${sphere_icon_radius} * 16)")
  if(alpha LESS_EQUAL 0)
    set(${out} 0 PARENT_SCOPE)
    return()
  elseif(alpha GREATER 255)
    set(alpha 255)
  endif()
  math(EXPR ex "${column} * 16 + 8 - ${sphere_icon_hx}")
  math(EXPR ey "${row} * 16 + 8 - ${sphere_icon_hy}")
  math(EXPR e2 "${ex} * ${ex} + ${ey} * ${ey}")
  # Brightness falls with the square of the distance from the highlight.
  math(EXPR glow "1000 - ${e2} * 1000 / ${sphere_icon_reach2}")
  if(glow LESS 0)
    set(glow 0)
  endif()
  math(EXPR glow "${glow} * ${glow} / 1000")
  if(glow LESS 400)
    math(EXPR w "${glow} * 1000 / 400")
    sphere_icon_mix(colour "${sphere_icon_rim}" "${sphere_icon_body}" ${w})
  else()
    math(EXPR w "(${glow} - 400) * 1000 / 600")
    sphere_icon_mix(colour "${sphere_icon_body}" "${sphere_icon_light}" ${w})
  endif()
  if(e2 LESS sphere_icon_spot2)
    math(EXPR w "1000 - ${e2} * 1000 / ${sphere_icon_spot2}")
    sphere_icon_mix(colour "${colour}" "${sphere_icon_spot}" ${w})
  endif()
  list(GET colour 0 r)
  list(GET colour 1 g)
  list(GET colour 2 b)
  math(EXPR argb "(${alpha} << 24) | (${r} << 16) | (${g} << 8) | ${b}")
  set(${out} ${argb} PARENT_SCOPE)
endfunction()
