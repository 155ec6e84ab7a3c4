# Faults around reading the source and saving the melody file; with the window
# program built, also its single-instance lock under simultaneous starts.
quorbin_gtest(test_faults test_faults.cpp LIBS quorbin_core)
if(TARGET quorbin)
  target_compile_definitions(test_faults PRIVATE QUORBIN_APP_PATH="$<TARGET_FILE:quorbin>")
  add_dependencies(test_faults quorbin)
endif()
