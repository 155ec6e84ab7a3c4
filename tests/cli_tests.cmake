# Platform helpers, the shared conversion steps and the command-line converter.
quorbin_gtest(test_platform test_platform.cpp LIBS quorbin_core)
