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

# The real program in an X session driven by real events, bare and under openbox.
find_program(XVFB_RUN xvfb-run)
find_program(XDOTOOL xdotool)
find_program(OPENBOX openbox)
if(XVFB_RUN AND XDOTOOL AND OPENBOX)
  foreach(manager none openbox)
    add_test(NAME desktop_session_${manager}
             COMMAND ${XVFB_RUN} -a -s "-screen 0 1024x768x24"
                     bash ${CMAKE_CURRENT_SOURCE_DIR}/test_desktop_session.sh $<TARGET_FILE:quorbin>
                     ${PROJECT_SOURCE_DIR}/samples/voice.wav ${manager})
    set_tests_properties(desktop_session_${manager} PROPERTIES TIMEOUT 180 LABELS ui RESOURCE_LOCK x_display)
  endforeach()
else()
  message(WARNING "xvfb-run, xdotool or openbox missing: the desktop session tests are left out")
endif()
