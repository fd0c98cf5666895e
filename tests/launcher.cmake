# The menu program's tests.
#   kestrow_ui_test: the three windows driven with QTest on Qt's offscreen platform (unit).
#   kestrow_window_test: the real kestrow under Xvfb, driven with xdotool, screenshots (window).
#   kestrow_game_test: kestrow starting the real tolvane under Xvfb (window; skipped until
#   the game is built).
if(NOT TARGET kestrow_ui)
  return()
endif()
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

add_executable(kestrow_ui_test
  launcher/test_main.cpp
  launcher/launcher_fixture.cpp launcher/launcher_fixture.h
  launcher/form1_test.cpp
  launcher/form2_test.cpp
  launcher/form3_test.cpp
  launcher/form4_test.cpp
  launcher/form5_test.cpp
  launcher/form6_test.cpp
  launcher/online_test.cpp
  launcher/records_test.cpp
  launcher/practice_test.cpp)
target_link_libraries(kestrow_ui_test PRIVATE kestrow_ui Qt6::Test GTest::gtest)
# The replay list runs the real headless tool over the golden replays.
add_dependencies(kestrow_ui_test tolvane-replay)
target_compile_definitions(kestrow_ui_test PRIVATE
  TOLVANE_REPLAY_TOOL="$<TARGET_FILE:tolvane-replay>"
  TOLVANE_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")
# The online window is tried against a real server of the test's own on 127.0.0.1.
if(TARGET tolvane-server)
  add_dependencies(kestrow_ui_test tolvane-server)
  target_compile_definitions(kestrow_ui_test PRIVATE TOLVANE_SERVER_PROGRAM="$<TARGET_FILE:tolvane-server>")
endif()
gtest_discover_tests(kestrow_ui_test
  PROPERTIES LABELS unit ENVIRONMENT QT_QPA_PLATFORM=offscreen
  DISCOVERY_TIMEOUT 30)

set(KESTROW_SCREENSHOT_DIR ${CMAKE_BINARY_DIR}/screenshots/launcher)
add_test(NAME kestrow_window_test
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/launcher/kestrow_window_test.sh
          $<TARGET_FILE:kestrow> ${KESTROW_SCREENSHOT_DIR})
add_test(NAME kestrow_game_test
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/launcher/kestrow_game_test.sh
          $<TARGET_FILE:kestrow> ${TOLVANE_APP_DIR} ${KESTROW_SCREENSHOT_DIR})
set_tests_properties(kestrow_window_test kestrow_game_test PROPERTIES
  LABELS window SKIP_RETURN_CODE 77 TIMEOUT 120 RUN_SERIAL ON)

# The menu and the game's rank box in English and in Japanese, whatever locales exist.
add_test(NAME language_window_test
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/launcher/language_window_test.sh
          $<TARGET_FILE:kestrow> $<TARGET_FILE:tolvane> ${KESTROW_SCREENSHOT_DIR}/language)
set_tests_properties(language_window_test PROPERTIES LABELS window TIMEOUT 180 RUN_SERIAL ON)
