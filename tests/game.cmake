# The game's unit tests: every tests/*_test.cpp of the game and media, one executable,
# run with the null media.
file(GLOB GAME_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
list(FILTER GAME_TESTS EXCLUDE REGEX "/(resources|sdl_[a-z0-9_]+)_test\\.cpp$")
add_executable(tolvane_tests ${GAME_TESTS} test_main.cpp)
target_link_libraries(tolvane_tests PRIVATE tolvane_core tolvane_verdict tolvane_player media_sound_null media_platform_null GTest::gtest PkgConfig::LIBPNG)
target_compile_definitions(tolvane_tests PRIVATE
  TOLVANE_REPLAY_TOOL="$<TARGET_FILE:tolvane-replay>"
  TOLVANE_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data"
  TOLVANE_APP_DIR="${TOLVANE_APP_DIR}"
  TOLVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
add_dependencies(tolvane_tests tolvane_catalogues)
gtest_discover_tests(tolvane_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 120)

# The SDL platform itself, without a display: the joystick through SDL's virtual joystick,
# the message box's reading of events, the window renderer on SDL's dummy driver.
find_package(X11 REQUIRED)
add_executable(tolvane_sdl_tests sdl_platform_test.cpp sdl_msgbox_test.cpp sdl_renderer_test.cpp
               sdl_x11_errors_test.cpp)
target_link_libraries(tolvane_sdl_tests PRIVATE tolvane_core media_sound_null media_platform_sdl GTest::gtest_main
                      X11::X11)
gtest_discover_tests(tolvane_sdl_tests PROPERTIES LABELS unit ENVIRONMENT "SDL_VIDEODRIVER=dummy" DISCOVERY_TIMEOUT 60)
# The songs on SDL_mixer with SDL's dummy audio device and the generated songs.
add_executable(tolvane_sound_tests sdl_sound_test.cpp)
target_link_libraries(tolvane_sound_tests PRIVATE media_sound_sdl media_draw tolvane_resources GTest::gtest_main)
target_compile_definitions(tolvane_sound_tests PRIVATE TOLVANE_SONGS_DIR="$<TARGET_FILE_DIR:tolvane>")
add_dependencies(tolvane_sound_tests tolvane_music)
gtest_discover_tests(tolvane_sound_tests PROPERTIES LABELS unit ENVIRONMENT "SDL_AUDIODRIVER=dummy" DISCOVERY_TIMEOUT 60)

# An X error about a window already gone is passed by (the SDL test above, on an Xvfb).
add_test(NAME tolvane_x11_errors COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/window/x11_errors_test.sh
         $<TARGET_FILE:tolvane_sdl_tests>)
set_tests_properties(tolvane_x11_errors PROPERTIES LABELS window TIMEOUT 60)
# The real game in a real window under Xvfb.
add_test(NAME tolvane_window COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/window/tolvane_window_test.sh $<TARGET_FILE:tolvane>)
set_tests_properties(tolvane_window PROPERTIES LABELS window TIMEOUT 120)
# Every way of ending a live game, with a window manager and real key events: Alt+F4, a
# held Esc, a click, SIGTERM and SIGINT. Screenshots of the boxes go to screenshots/game.
set(TOLVANE_SCREENSHOT_DIR ${CMAKE_BINARY_DIR}/screenshots/game)
add_test(NAME tolvane_quit COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/window/tolvane_quit_test.sh
         $<TARGET_FILE:tolvane> ${TOLVANE_SCREENSHOT_DIR})
set_tests_properties(tolvane_quit PROPERTIES LABELS window TIMEOUT 180 RUN_SERIAL ON)
# The game and the menu as Wayland clients of weston nested in an Xvfb, the box included;
# the window renderer rule checked on X11 and on Wayland.
if(TARGET kestrow)
  set(TOLVANE_WAYLAND_MENU $<TARGET_FILE:kestrow>)
else()
  set(TOLVANE_WAYLAND_MENU -)
endif()
add_test(NAME tolvane_wayland COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/window/tolvane_wayland_test.sh
         $<TARGET_FILE:tolvane> $<TARGET_FILE:tolvane_sdl_tests> ${TOLVANE_WAYLAND_MENU} ${TOLVANE_SCREENSHOT_DIR})
set_tests_properties(tolvane_wayland PROPERTIES LABELS window TIMEOUT 180 RUN_SERIAL ON)
# Two whole live games (about four minutes): one under a file-size limit that its replay
# does not fit, one ended by SIGTERM on its results screen.
add_test(NAME tolvane_long_game COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/window/tolvane_long_game_test.sh
         $<TARGET_FILE:tolvane> $<TARGET_FILE:tolvane-replay> ${CMAKE_CURRENT_SOURCE_DIR}/data/boost.rep
         ${TOLVANE_SCREENSHOT_DIR})
set_tests_properties(tolvane_long_game PROPERTIES LABELS window TIMEOUT 600 RUN_SERIAL ON)
add_test(NAME tolvane_no_display COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/window/no_display_test.sh $<TARGET_FILE:tolvane>)
set_tests_properties(tolvane_no_display PROPERTIES LABELS unit)

# The window's own keys under a window manager (fullscreen, pause), and the playback
# controls checked against the headless tool's pictures.
add_test(NAME tolvane_window_keys COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/window/tolvane_live_keys_test.sh $<TARGET_FILE:tolvane>)
set_tests_properties(tolvane_window_keys PROPERTIES LABELS window TIMEOUT 120)
add_test(NAME tolvane_window_playback COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/window/tolvane_playback_test.sh
         $<TARGET_FILE:tolvane> $<TARGET_FILE:tolvane-replay>)
set_tests_properties(tolvane_window_playback PROPERTIES LABELS window TIMEOUT 180)
# The player's settings file as the real game reads and writes it: keys bound elsewhere
# in a whole live game (at ten times the clock's speed), the remembered fullscreen, and
# the loudness on SDL's disk audio.
add_test(NAME tolvane_settings COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/window/tolvane_settings_test.sh
         $<TARGET_FILE:tolvane> ${CMAKE_CURRENT_SOURCE_DIR}/data/autoplay.rep)
set_tests_properties(tolvane_settings PROPERTIES LABELS window TIMEOUT 240 RUN_SERIAL ON)

# The English catalogue: complete, valid, and holding every text the sources mark; no
# Japanese text of the programs' windows that bypasses it.
add_test(NAME language_catalogue COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/language_check.sh ${PROJECT_SOURCE_DIR})
set_tests_properties(language_catalogue PROPERTIES LABELS unit)
