# Platform helpers, the shared conversion steps and the command-line converter.
quorbin_gtest(test_platform test_platform.cpp LIBS quorbin_core)
quorbin_gtest(test_steps test_steps.cpp LIBS quorbin_core)
quorbin_gtest(test_cli test_cli.cpp LIBS quorbin_cli_lib)
target_compile_definitions(test_cli PRIVATE QUORBIN_CLI_PATH="$<TARGET_FILE:quorbin-cli>")
add_dependencies(test_cli quorbin-cli)
