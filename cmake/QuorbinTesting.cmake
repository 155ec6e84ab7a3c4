# One-line test declarations:
#   quorbin_gtest(name source... [LIBS lib...] [RUNS program...] [TIMEOUT seconds])
#   quorbin_qtest(name source... [LIBS lib...] [RUNS program...] [TIMEOUT seconds])
# RUNS builds the named programs first and hands their paths to the test as
# QUORBIN_APP_PATH (quorbin) and QUORBIN_CLI_PATH (quorbin-cli); a program that
# this build leaves out (the window program in a core-only build) is skipped.
# Every test sees the source tree as QUORBIN_SOURCE_DIR, and the shared test
# helpers of tests/ (quorbin_test_support) as "tests/Name.h".
find_package(GTest REQUIRED)
include(GoogleTest)

quorbin_folder_view(tests test_view)
add_library(quorbin_test_support INTERFACE)
target_include_directories(quorbin_test_support INTERFACE ${test_view})

function(quorbin_add_test_executable name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "LIBS;RUNS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} quorbin_test_support)
  quorbin_warnings(${name})
  target_compile_definitions(${name} PRIVATE QUORBIN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  foreach(program IN LISTS ARG_RUNS)
    if(NOT TARGET ${program})
      continue()
    endif()
    if(program STREQUAL "quorbin")
      set(macro QUORBIN_APP_PATH)
    else()
      string(REPLACE "quorbin-" "QUORBIN_" macro "${program}")
      string(TOUPPER "${macro}_PATH" macro)
    endif()
    target_compile_definitions(${name} PRIVATE ${macro}="$<TARGET_FILE:${program}>")
    add_dependencies(${name} ${program})
  endforeach()
endfunction()

function(quorbin_gtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "LIBS;RUNS" ${ARGN})
  quorbin_add_test_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE GTest::gtest_main)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  gtest_discover_tests(${name} WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
                       PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS core DISCOVERY_TIMEOUT 60)
endfunction()

# A Qt Test file runs on the offscreen platform in the C locale.
function(quorbin_qtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "LIBS;RUNS" ${ARGN})
  quorbin_add_test_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE Qt6::Test Qt6::Widgets)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS ui
                       ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8")
endfunction()
