# tolvane-server's tests. Unit tests (label unit, also run under the sanitizers): names,
# signatures, verification against the golden replays, limits, periods, and the store on
# SQLite. The API and the page against the real program (label server): the API on
# SQLite and on a PostgreSQL that the test starts itself, the page in Chromium.
if(NOT TARGET tolvane-server)
  return()
endif()

add_executable(tolvane_server_tests server/server_unit_test.cpp)
target_link_libraries(tolvane_server_tests PRIVATE tolvane_server_core GTest::gtest_main)
target_compile_definitions(tolvane_server_tests PRIVATE TOLVANE_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")
gtest_discover_tests(tolvane_server_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)
