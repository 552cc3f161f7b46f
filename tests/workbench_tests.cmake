# The workbench's procedures run in process under Wine on the real Win32
# API; tolvane.exe also runs as its own process.
add_executable(workbench_tests
  workbench_harness.cpp
  dialog_answerer.cpp
  workbench_explore_test.cpp)
target_link_libraries(workbench_tests PRIVATE tolvane_workbench tolvane_resources testsupport gtest_main)
add_dependencies(workbench_tests tolvane)
target_compile_definitions(workbench_tests PRIVATE "TOLVANE_PATH=\"$<TARGET_FILE:tolvane>\"")
gtest_discover_tests(workbench_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  WORKING_DIRECTORY $<TARGET_FILE_DIR:tolvane> PROPERTIES TIMEOUT 120)
