# tolvpack's commands in process, in both builds; under Wine also
# tolvpack.exe as its own process.
add_executable(tolvpack_tests tolvpack_test.cpp)
target_link_libraries(tolvpack_tests PRIVATE tolvpack_commands testsupport gtest_main)
add_dependencies(tolvpack_tests tolvpack)
target_compile_definitions(tolvpack_tests PRIVATE "TOLVPACK_PATH=\"$<TARGET_FILE:tolvpack>\"")
if(WIN32)
  target_sources(tolvpack_tests PRIVATE win_process.cpp)
endif()
gtest_discover_tests(tolvpack_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)

if(WIN32)
  # A list packed by the Linux build (scripts/test.sh builds it first, in
  # the native preset's folder) restored by tolvinst.exe under Wine.
  add_test(NAME linux_pack_restores_under_wine COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/linux_pack_test.sh
    ${CMAKE_SOURCE_DIR}/build/native/tolvpack/tolvpack $<TARGET_FILE:tolvinst>)
  set_tests_properties(linux_pack_restores_under_wine PROPERTIES TIMEOUT 120)
endif()

if(WIN32)
  # tolvpack.exe in a console: names under the Western code page, Ctrl-C.
  add_test(NAME tolvpack_console COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/console_test.sh $<TARGET_FILE:tolvpack>)
  set_tests_properties(tolvpack_console PROPERTIES TIMEOUT 180)
endif()
