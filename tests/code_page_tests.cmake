# tolvinst and tolvpack restore started with a wide command line, as
# installers start them, under the Japanese, Western and UTF-8 system code
# pages; the script runs the program once per code page in a Wine prefix of
# its own.
add_executable(code_page_tests code_page_test.cpp win_process.cpp)
target_link_libraries(code_page_tests PRIVATE testsupport gtest_main)
add_dependencies(code_page_tests tolvinst tolvpack)
target_compile_definitions(code_page_tests PRIVATE "TOLVINST_PATH=\"$<TARGET_FILE:tolvinst>\""
  "TOLVPACK_PATH=\"$<TARGET_FILE:tolvpack>\"")
add_test(NAME code_pages COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/code_page_test.sh
  $<TARGET_FILE:code_page_tests> ${CMAKE_CURRENT_BINARY_DIR}/code-page-prefix)
set_tests_properties(code_pages PROPERTIES TIMEOUT 300)
