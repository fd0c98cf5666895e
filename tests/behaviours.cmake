# Behaviour tests of the enemies, bullets and bosses (until the game's own test target
# takes these files over).
add_executable(behaviour_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/world_behaviour_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/world_boss_test.cpp)
target_link_libraries(behaviour_tests PRIVATE tolvane_core media_sound_null media_platform_null GTest::gtest_main)
gtest_discover_tests(behaviour_tests PROPERTIES LABELS unit)
