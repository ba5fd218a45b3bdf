# HLSL -> SPIR-V at build time (glslang), validated with spirv-val, embedded as byte arrays.
# Registers b/t/s/u are shifted to the binding bases of platform/gfx*.h (kBinding*Base).
# TARNIX_GLSLANG is defined for sources that must work around this compiler's quirks.
#
#   tarnix_add_shader_library(<target>
#     HEADER <generated header name, e.g. shader_blobs.h>
#     SHADERS <source.hlsl> <comp|vert|frag> <Symbol> [<source> <stage> <Symbol> ...]
#     [DEPENDS <headers the sources include>]
#     [FLAGS <extra glslangValidator flags for every shader, e.g. --nsf>])
#
# Builds a STATIC library <target> whose generated header declares, per shader,
#   extern const unsigned char <Symbol>[];  extern const size_t <Symbol>Size;
# The header lands in ${CMAKE_CURRENT_BINARY_DIR}/generated/ (on the target's include path).
# The .spv files stay in the build tree (<target>_spv/), for reflection tests.
#
# The web build (TARNIX_WEB) embeds WGSL instead: glslang with TARNIX_WEB defined and without
# FLAGS (WebGPU declares every storage image's format), then cmake/web/spirv_to_wgsl.mjs (naga
# from node_modules/). Each shader is also built with TARNIX_NO_SUBGROUPS; where the first
# needs subgroup operations, that WGSL follows it after a NUL, for devices without them.
find_program(TARNIX_GLSLANG glslangValidator REQUIRED)
find_program(TARNIX_SPIRV_VAL spirv-val REQUIRED)
set(TARNIX_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedBinary.cmake)

# The register-class binding bases come from the graphics layer's headers (platform/gfx*.h), so
# the shader build and the root-signature-to-descriptor-set mapping cannot drift apart.
file(GLOB TARNIX_GFX_HEADERS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../platform/gfx*.h)
function(tarnix_read_binding_base name out)
  foreach(header ${TARNIX_GFX_HEADERS})
    file(STRINGS ${header} line REGEX "constexpr uint32_t ${name} = [0-9]+;")
    if(line MATCHES "= ([0-9]+)")
      set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "no platform/gfx*.h header defines ${name}")
endfunction()
tarnix_read_binding_base(kBindingCbvBase TARNIX_SHIFT_CBUFFER)
tarnix_read_binding_base(kBindingSrvBase TARNIX_SHIFT_TEXTURE)
tarnix_read_binding_base(kBindingSamplerBase TARNIX_SHIFT_SAMPLER)
tarnix_read_binding_base(kBindingUavBase TARNIX_SHIFT_UAV)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TARNIX_GFX_HEADERS})
# Rewritten only when a base changes, so that (and not every edit of gfx.h) recompiles the shaders.
set(TARNIX_SHIFT_STAMP ${CMAKE_BINARY_DIR}/shader_binding_shifts.txt)
file(CONFIGURE OUTPUT ${TARNIX_SHIFT_STAMP}
  CONTENT "b ${TARNIX_SHIFT_CBUFFER} t ${TARNIX_SHIFT_TEXTURE} s ${TARNIX_SHIFT_SAMPLER} u ${TARNIX_SHIFT_UAV}\n")

if(TARNIX_WEB)
  find_program(TARNIX_NODE node REQUIRED)
  set(TARNIX_WGSL_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/web/spirv_to_wgsl.mjs)
endif()

# The glslang command for one shader into spv, with extra defines.
function(tarnix_glslang_command out src_abs stage spv flags)
  set(${out} ${TARNIX_GLSLANG} -D -V -e main -S ${stage} --target-env vulkan1.1 --hlsl-iomap
      --shift-cbuffer-binding ${TARNIX_SHIFT_CBUFFER} --shift-texture-binding ${TARNIX_SHIFT_TEXTURE}
      --shift-sampler-binding ${TARNIX_SHIFT_SAMPLER} --shift-uav-binding ${TARNIX_SHIFT_UAV}
      -DTARNIX_GLSLANG ${flags} -I${CMAKE_SOURCE_DIR} -I${CMAKE_SOURCE_DIR}/shaders
      --quiet ${src_abs} -o ${spv} PARENT_SCOPE)
endfunction()

# Web: HLSL -> SPIR-V (with and without subgroups) -> WGSL in `embedded`.
function(tarnix_add_wgsl_commands src_abs stage spv embedded depends)
  string(REPLACE ".spv" ".lanes.spv" fallback ${spv})
  tarnix_glslang_command(main ${src_abs} ${stage} ${spv} "-DTARNIX_WEB")
  tarnix_glslang_command(lanes ${src_abs} ${stage} ${fallback} "-DTARNIX_WEB;-DTARNIX_NO_SUBGROUPS")
  add_custom_command(
    OUTPUT ${embedded}
    COMMAND ${main}
    COMMAND ${lanes}
    COMMAND ${TARNIX_NODE} ${TARNIX_WGSL_SCRIPT} ${spv} ${src_abs} ${embedded} ${fallback}
    DEPENDS ${src_abs} ${depends} ${TARNIX_SHIFT_STAMP} ${TARNIX_WGSL_SCRIPT}
    COMMENT "HLSL ${src_abs} -> WGSL"
    VERBATIM)
endfunction()

function(tarnix_add_shader_library target)
  cmake_parse_arguments(S "" "HEADER" "SHADERS;DEPENDS;FLAGS" ${ARGN})
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/generated)
  set(spv_dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_spv)
  file(MAKE_DIRECTORY ${out_dir} ${spv_dir})
  set(sources)
  set(declarations "")
  list(LENGTH S_SHADERS n)
  math(EXPR last "${n} - 1")
  foreach(i RANGE 0 ${last} 3)
    math(EXPR j "${i} + 1")
    math(EXPR k "${i} + 2")
    list(GET S_SHADERS ${i} src)
    list(GET S_SHADERS ${j} stage)
    list(GET S_SHADERS ${k} symbol)
    get_filename_component(src_abs ${src} ABSOLUTE)
    set(spv ${spv_dir}/${symbol}.spv)
    set(cpp ${spv_dir}/${symbol}.cpp)  # per library: two libraries may embed the same symbols
    set(embedded ${spv})
    if(TARNIX_WEB)
      set(embedded ${spv_dir}/${symbol}.wgsl)
      tarnix_add_wgsl_commands(${src_abs} ${stage} ${spv} ${embedded} "${S_DEPENDS}")
    else()
      tarnix_glslang_command(compile ${src_abs} ${stage} ${spv} "${S_FLAGS}")
      add_custom_command(
        OUTPUT ${spv}
        COMMAND ${compile}
        COMMAND ${TARNIX_SPIRV_VAL} --target-env vulkan1.1 ${spv}
        DEPENDS ${src_abs} ${S_DEPENDS} ${TARNIX_SHIFT_STAMP}
        COMMENT "HLSL ${symbol} (${stage})"
        VERBATIM)
    endif()
    add_custom_command(
      OUTPUT ${cpp}
      COMMAND ${CMAKE_COMMAND} -DINPUT=${embedded} -DOUTPUT=${cpp} -DSYMBOL=${symbol} -P ${TARNIX_EMBED_SCRIPT}
      DEPENDS ${embedded} ${TARNIX_EMBED_SCRIPT}
      VERBATIM)
    list(APPEND sources ${cpp})
    string(APPEND declarations "extern const unsigned char ${symbol}[];\nextern const size_t ${symbol}Size;\n")
  endforeach()
  set(header ${out_dir}/${S_HEADER})
  set(kind SPIR-V)
  if(TARNIX_WEB)
    set(kind WGSL)
  endif()
  file(CONFIGURE OUTPUT ${header} CONTENT "#pragma once\n// Generated by the build: ${kind} of the HLSL sources.\n#include <cstddef>\n\n${declarations}" @ONLY)
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${out_dir})
  set_target_properties(${target} PROPERTIES TARNIX_SPV_DIR ${spv_dir})
endfunction()
