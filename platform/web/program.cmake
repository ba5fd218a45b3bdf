# The web program, tarnix.js + tarnix.wasm: the presentation library, programs/main_web.cpp, and
# the JavaScript of the web backends. scripts/build-web puts them in the site with the page.
#
# ASYNCIFY lets the program wait as it does elsewhere (fences, buffer maps, device creation,
# the display's next frame) while the browser keeps running: each wait suspends the program
# until a promise settles. The page starts main itself, after its start button.
add_executable(tarnix main_web.cpp web_editor.cpp)
target_link_libraries(tarnix PRIVATE tarnix_presentation tarnix_wave_out_silent tarnix_web_page tarnix_gfx_glue
  tarnix_edit_document)
set(tarnix_link_options
  -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=268435456 -sMAXIMUM_MEMORY=2147483648
  -sINVOKE_RUN=0 -sEXIT_RUNTIME=0 -sEXPORTED_RUNTIME_METHODS=callMain -sENVIRONMENT=web
  -sEXPORTED_FUNCTIONS=_main,_malloc,_free
)
foreach(script ${TARNIX_WEB_PRE_JS})
  list(APPEND tarnix_link_options "SHELL:--pre-js ${script}")
  set_property(TARGET tarnix APPEND PROPERTY LINK_DEPENDS ${script})
endforeach()
target_link_options(tarnix PRIVATE ${tarnix_link_options})
