if(QUORBIN_CORE_ONLY)
  return()
endif()
quorbin_qtest(test_controls test_controls.cpp LIBS quorbin_ui)
