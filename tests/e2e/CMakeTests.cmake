# The browser test: the real server binary, driven by playwright-core in Debian's chromium.
add_test(NAME e2e_browser COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/run.sh)
set_tests_properties(e2e_browser PROPERTIES
  ENVIRONMENT "CORKBOARD_BIN=$<TARGET_FILE:corkboard>;E2E_SCREENSHOTS=${CMAKE_BINARY_DIR}"
  TIMEOUT 240
  RUN_SERIAL TRUE)
