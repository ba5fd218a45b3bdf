# Tests of the Windows build, run under Wine on the build machine.
#
# GoogleTest comes as source (Debian's googletest package) and is built with the cross
# compiler. Each suite is one CTest test, run whole by scripts/windows/wine-run: starting
# Wine costs about a second, too much to pay once per test case.
set(TARNIX_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
if(NOT EXISTS ${TARNIX_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "${TARNIX_GOOGLETEST_SOURCE} is missing: run scripts/setup (package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${TARNIX_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

set(TARNIX_WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/windows/wine-run)

function(tarnix_add_windows_test name label timeout)
  add_test(NAME ${name} COMMAND ${TARNIX_WINE_RUN} $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES LABELS ${label} TIMEOUT ${timeout})
endfunction()
