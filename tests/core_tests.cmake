# Tests of the Qt-free conversion core.
quorbin_gtest(test_wave ${CMAKE_CURRENT_SOURCE_DIR}/test_wave.cpp LIBS quorbin_core)
quorbin_gtest(test_adpcm ${CMAKE_CURRENT_SOURCE_DIR}/test_adpcm.cpp LIBS quorbin_core)
quorbin_gtest(test_mld ${CMAKE_CURRENT_SOURCE_DIR}/test_mld.cpp LIBS quorbin_core)
