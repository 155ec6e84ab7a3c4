# Preparation of recordings in other formats and the converter run on them.
quorbin_gtest(test_resample test_resample.cpp LIBS quorbin_prepare quorbin_cli_lib PkgConfig::SNDFILE)
