# Tests of the generated resources (sheets, palette, sound effects, music files)
# and of the kits their generators are built from.
add_executable(resources_tests ${CMAKE_CURRENT_SOURCE_DIR}/resources_test.cpp)
target_link_libraries(resources_tests PRIVATE tolvane_resources tolvane_artkit tolvane_scorekit GTest::gtest_main
  PkgConfig::SDL2)
target_compile_definitions(resources_tests PRIVATE TOLVANE_MUSIC_DIR="${TOLVANE_APP_DIR}")
add_dependencies(resources_tests tolvane_music)
gtest_discover_tests(resources_tests PROPERTIES LABELS unit)
