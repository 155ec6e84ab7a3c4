if(QUORBIN_CORE_ONLY)
  return()
endif()

# The window program: conversion job, hand-over, main window run, single instance.
quorbin_qtest(test_app test_app.cpp LIBS quorbin_app)
target_include_directories(test_app PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(test_app PRIVATE
  QUORBIN_APP_PATH="$<TARGET_FILE:quorbin>"
  QUORBIN_CLI_PATH="$<TARGET_FILE:quorbin-cli>")
add_dependencies(test_app quorbin quorbin-cli)
set_tests_properties(test_app PROPERTIES TIMEOUT 600)
