# The game's unit tests: every tests/*_test.cpp of the game and media, one executable,
# run with the null media.
file(GLOB GAME_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
list(FILTER GAME_TESTS EXCLUDE REGEX "/(resources|sdl_[a-z_]+)_test\\.cpp$")
add_executable(tolvane_tests ${GAME_TESTS} test_main.cpp)
target_link_libraries(tolvane_tests PRIVATE tolvane_core media_sound_null media_platform_null GTest::gtest PkgConfig::LIBPNG)
target_compile_definitions(tolvane_tests PRIVATE
  TOLVANE_REPLAY_TOOL="$<TARGET_FILE:tolvane-replay>"
  TOLVANE_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")
gtest_discover_tests(tolvane_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 120)

# The SDL platform itself, without a display: the joystick through SDL's virtual joystick.
add_executable(tolvane_sdl_tests sdl_platform_test.cpp)
target_link_libraries(tolvane_sdl_tests PRIVATE tolvane_core media_sound_null media_platform_sdl GTest::gtest_main)
gtest_discover_tests(tolvane_sdl_tests PROPERTIES LABELS unit ENVIRONMENT "SDL_VIDEODRIVER=dummy" DISCOVERY_TIMEOUT 60)

# The real game in a real window under Xvfb.
add_test(NAME tolvane_window COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/window/tolvane_window_test.sh $<TARGET_FILE:tolvane>)
set_tests_properties(tolvane_window PROPERTIES LABELS window TIMEOUT 120)
add_test(NAME tolvane_no_display COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/window/no_display_test.sh $<TARGET_FILE:tolvane>)
set_tests_properties(tolvane_no_display PROPERTIES LABELS unit)

# The window's own keys under a window manager (fullscreen, pause), and the playback
# controls checked against the headless tool's pictures.
add_test(NAME tolvane_window_keys COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/window/tolvane_live_keys_test.sh $<TARGET_FILE:tolvane>)
set_tests_properties(tolvane_window_keys PROPERTIES LABELS window TIMEOUT 120)
add_test(NAME tolvane_window_playback COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/window/tolvane_playback_test.sh
         $<TARGET_FILE:tolvane> $<TARGET_FILE:tolvane-replay>)
set_tests_properties(tolvane_window_playback PROPERTIES LABELS window TIMEOUT 180)
