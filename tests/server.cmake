# tolvane-server's tests. Unit tests (label unit, also run under the sanitizers): names,
# signatures, verification against the golden replays, limits, periods, and the store on
# SQLite. The API and the page against the real program (label server): the API on
# SQLite and on a PostgreSQL that the test starts itself, the page in Chromium.
if(NOT TARGET tolvane-server)
  return()
endif()

add_executable(tolvane_server_tests server/server_unit_test.cpp server/clients_unit_test.cpp
  server/branches_test.cpp)
target_link_libraries(tolvane_server_tests PRIVATE tolvane_server_core GTest::gtest_main)
target_compile_definitions(tolvane_server_tests PRIVATE TOLVANE_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")
# The store on PostgreSQL runs in server_store_postgres below, beside its own database.
gtest_discover_tests(tolvane_server_tests TEST_FILTER "-*postgresql*" PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)

# The API's answers one by one against the real program: on SQLite, and on a PostgreSQL
# started by with_postgres.sh (which also runs the store's unit tests there).
find_program(NODE node)
set(server_env TOLVANE_SERVER=$<TARGET_FILE:tolvane-server> TOLVANE_TEST_DATA=${CMAKE_CURRENT_SOURCE_DIR}/data)
if(NODE)
  add_test(NAME server_api_sqlite COMMAND ${NODE} --test ${CMAKE_CURRENT_SOURCE_DIR}/server/api.test.mjs)
  add_test(NAME server_api_postgres COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/server/with_postgres.sh
           ${NODE} --test ${CMAKE_CURRENT_SOURCE_DIR}/server/api.test.mjs)
  set_tests_properties(server_api_sqlite server_api_postgres PROPERTIES LABELS server TIMEOUT 180 ENVIRONMENT "${server_env}")
  # Clients behind proxies, the /64 of IPv6 clients, /metrics and the player's files; HTTPS
  # from the server itself (certtool, curl); nginx in front of two servers on one PostgreSQL.
  add_test(NAME server_transport COMMAND ${NODE} --test ${CMAKE_CURRENT_SOURCE_DIR}/server/transport.test.mjs)
  add_test(NAME server_tls COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/server/tls_test.sh)
  add_test(NAME server_scaleout COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/server/with_postgres.sh
           ${CMAKE_CURRENT_SOURCE_DIR}/server/scaleout_test.sh)
  set_tests_properties(server_transport server_tls server_scaleout PROPERTIES LABELS server TIMEOUT 120
    SKIP_RETURN_CODE 77 ENVIRONMENT "${server_env}")
  # 2,000 submissions whose clients hang up before the answer (also under the sanitizers:
  # scripts/test.sh).
  add_test(NAME server_hangups COMMAND ${NODE} --test ${CMAKE_CURRENT_SOURCE_DIR}/server/hangups.test.mjs)
  set_tests_properties(server_hangups PROPERTIES LABELS server TIMEOUT 360 ENVIRONMENT "${server_env}")
  # The page in Debian's Chromium through playwright-core (npm, kept in the build folder);
  # screenshots in screenshots/server.
  add_test(NAME server_page COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/server/page_test.sh
           ${CMAKE_BINARY_DIR}/server-page-test ${CMAKE_BINARY_DIR}/screenshots/server)
  set_tests_properties(server_page PROPERTIES LABELS server TIMEOUT 240 SKIP_RETURN_CODE 77 ENVIRONMENT "${server_env}")
  # The watch page on the web player (web/build.sh).
  set(TOLVANE_WEB_BUILD ${PROJECT_SOURCE_DIR}/build-web CACHE PATH "The web build the web tests check")
  add_test(NAME server_watch COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/server/watch_test.sh
           ${CMAKE_BINARY_DIR}/server-page-test ${CMAKE_BINARY_DIR}/screenshots/server ${TOLVANE_WEB_BUILD}/player)
  set_tests_properties(server_watch PROPERTIES LABELS "server;web" TIMEOUT 300 SKIP_RETURN_CODE 77
    RESOURCE_LOCK server-page-test
    ENVIRONMENT "${server_env};TOLVANE_REPLAY=$<TARGET_FILE:tolvane-replay>")
  set_tests_properties(server_page PROPERTIES RESOURCE_LOCK server-page-test)
else()
  message(WARNING "node not found: the server's API and page tests are left out")
endif()
add_test(NAME server_store_postgres COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/server/with_postgres.sh
         $<TARGET_FILE:tolvane_server_tests> --gtest_filter=*postgresql*)
set_tests_properties(server_store_postgres PROPERTIES LABELS server TIMEOUT 120)

# The server's own install component: the program, its manual page and systemd unit.
add_test(NAME server_install COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/server/install_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(server_install PROPERTIES LABELS "install;server" TIMEOUT 120)
