# pixhoard_test(NAME n LABEL unit|forms|desktop|e2e SOURCES ... LIBS ...)
# One GoogleTest binary per call, discovered by CTest with its label.
find_package(GTest REQUIRED)
include(GoogleTest)

function(pixhoard_test)
  cmake_parse_arguments(ARG "" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} pixhoard_testsupport GTest::gtest GTest::gmock
                        pixhoard_warnings)
  target_precompile_headers(${ARG_NAME} PRIVATE ${PIXHOARD_PCH_CORE} <gtest/gtest.h>)
  set(_env "PIXHOARD_SOURCE_DIR=${PROJECT_SOURCE_DIR}" "PIXHOARD_BIN_DIR=${CMAKE_BINARY_DIR}/bin")
  if(ARG_LABEL STREQUAL "forms")
    list(APPEND _env "QT_QPA_PLATFORM=offscreen")
  endif()
  gtest_discover_tests(${ARG_NAME}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${ARG_LABEL} TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${_env}")
endfunction()
