# The workbench's procedures run in process under Wine on the real Win32
# API, with the program's own resources linked in; tolvane.exe also runs as
# its own process.
add_executable(workbench_tests
  workbench_harness.cpp
  dialog_answerer.cpp
  workbench_list_view_test.cpp
  workbench_screen_test.cpp
  workbench_frame_test.cpp
  workbench_dialog_test.cpp
  workbench_choosers_test.cpp
  workbench_list_commands_test.cpp
  workbench_conversion_test.cpp
  workbench_process_test.cpp
  win_process.cpp)
target_link_libraries(workbench_tests PRIVATE tolvane_workbench tolvane_resources testsupport gtest_main)
add_dependencies(workbench_tests tolvane)
target_compile_definitions(workbench_tests PRIVATE "TOLVANE_PATH=\"$<TARGET_FILE:tolvane>\"")
# Tests that read the window back from the screen run one at a time, so no
# other test's window covers theirs.
gtest_discover_tests(workbench_tests TEST_FILTER "-OnScreen.*" DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT 120)
gtest_discover_tests(workbench_tests TEST_FILTER "OnScreen.*" DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT 120 RESOURCE_LOCK workbench_screen)

# Not a test: shows the workbench with a filled list and every dialog open,
# for looking at it as a user would.
add_executable(workbench_demo WIN32 workbench_demo.cpp)
target_link_libraries(workbench_demo PRIVATE tolvane_workbench tolvane_resources)
