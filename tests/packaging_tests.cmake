# The manual page and the bash completion against quorbin-cli's own help.
add_test(NAME packaging_docs
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/test_packaging.sh $<TARGET_FILE:quorbin-cli>
                 ${PROJECT_SOURCE_DIR}/packaging)
set_tests_properties(packaging_docs PROPERTIES TIMEOUT 60 LABELS core)
