# The records: replay files and the high-score table.
add_executable(records_tests
  records_replay_test.cpp
  records_hiscore_test.cpp)
target_link_libraries(records_tests PRIVATE tolvane_core media_sound_null media_platform_null GTest::gtest_main)
# The end-to-end tests play the written replays back with the headless tool.
target_compile_definitions(records_tests PRIVATE TOLVANE_REPLAY_TOOL="$<TARGET_FILE:tolvane-replay>")
add_dependencies(records_tests tolvane-replay)
gtest_discover_tests(records_tests PROPERTIES LABELS unit)
