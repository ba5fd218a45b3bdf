# Test helpers shared by every suite under tests/.
#
#   tarnix_add_test(NAME <name> LABEL cpu|gpu|window SOURCES ... LIBS ...)
#
# "cpu" suites touch no GPU, display or sound device; they are also built and run
# under AddressSanitizer + UndefinedBehaviorSanitizer (the aggregate target
# `cpu_tests` builds exactly them).
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsTesting.cmake)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)
enable_testing()

if(NOT TARGET cpu_tests)
  add_custom_target(cpu_tests)
endif()

function(tarnix_add_test)
  cmake_parse_arguments(T "" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL cpu)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main tarnix_test_support)
  if(WIN32)
    tarnix_add_windows_test(${T_NAME} ${T_LABEL} ${T_TIMEOUT})
  else()
    gtest_discover_tests(${T_NAME}
      PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT}
      DISCOVERY_TIMEOUT 60)
  endif()
  if(T_LABEL STREQUAL "cpu")
    add_dependencies(cpu_tests ${T_NAME})
  endif()
endfunction()
