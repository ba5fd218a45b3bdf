# Test helpers shared by every suite under tests/.
#
#   tarnix_add_test(NAME <name> LABEL cpu|gpu|window SOURCES ... LIBS ...)
#
# "cpu" suites touch no GPU, display or sound device; they are also built and run
# under AddressSanitizer + UndefinedBehaviorSanitizer (the aggregate target
# `cpu_tests` builds exactly them).
find_package(GTest REQUIRED)
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
  gtest_discover_tests(${T_NAME}
    PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT}
    DISCOVERY_TIMEOUT 60)
  if(T_LABEL STREQUAL "cpu")
    add_dependencies(cpu_tests ${T_NAME})
  endif()
endfunction()
