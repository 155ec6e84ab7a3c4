# quorbin_gtest(name source... LIBS lib...): one GoogleTest file, one line.
find_package(GTest REQUIRED)
include(GoogleTest)

function(quorbin_gtest name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE GTest::gtest_main ${ARG_LIBS})
  gtest_discover_tests(${name} WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
                       PROPERTIES TIMEOUT 120 LABELS core DISCOVERY_TIMEOUT 60)
endfunction()

# quorbin_qtest(name source... LIBS lib...): one Qt Test file on the offscreen platform.
function(quorbin_qtest name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE Qt6::Test Qt6::Widgets ${ARG_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 120 LABELS ui
                       ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8")
endfunction()
