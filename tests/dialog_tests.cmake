if(QUORBIN_CORE_ONLY)
  return()
endif()
quorbin_qtest(test_dialogs test_dialogs.cpp LIBS quorbin_ui)
