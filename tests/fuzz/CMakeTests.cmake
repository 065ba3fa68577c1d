# The markup converter's fuzz target: built with clang by its script, run for 20 seconds with the
# other tests. For a longer run: src/markup/fuzz/run.sh 600
add_test(NAME markup_fuzz COMMAND ${CMAKE_SOURCE_DIR}/src/markup/fuzz/run.sh 20 ${CMAKE_BINARY_DIR}/fuzz)
set_tests_properties(markup_fuzz PROPERTIES TIMEOUT 300 LABELS fuzz)
