# The shipped skin bitmaps and icon files (no Qt needed to read them).
quorbin_gtest(test_skin test_skin.cpp)
target_compile_definitions(test_skin PRIVATE QUORBIN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
