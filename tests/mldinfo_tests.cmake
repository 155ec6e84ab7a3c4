# Reading melody files back, decoding their audio, and the info/decode commands.
quorbin_gtest(test_mld_reader test_mld_reader.cpp LIBS quorbin_core)
find_package(nlohmann_json 3 REQUIRED)
quorbin_gtest(test_cli_info test_cli_info.cpp LIBS quorbin_cli_lib nlohmann_json::nlohmann_json)
