# libFuzzer targets for what comes from outside: the replay loader, the high-score reader,
# the settings reader, the player key's reader, the name rule, the game's command line, the
# menu's online outbox and the server's answers, the names of the menu's take-over records,
# the server's request handling (JSON, base64, replay bytes), its branch lookup, and the run
# page's comparison of two runs (web/compare.cpp).
# Configure a separate build with clang and
# -DTOLVANE_FUZZ=ON, build the targets by name, and run them on the seeds in fuzz/.
if(TOLVANE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TOLVANE_FUZZ needs clang (-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang)")

  endif()
  set(FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=undefined)

  # The records code and what it needs, compiled again with coverage for the fuzzer.
  add_library(records_fuzz_core STATIC
    ${PROJECT_SOURCE_DIR}/game/records/files.cpp
    ${PROJECT_SOURCE_DIR}/game/records/replay.cpp
    ${PROJECT_SOURCE_DIR}/game/records/hiscore.cpp
    ${PROJECT_SOURCE_DIR}/media/common/appdir.cpp
    ${PROJECT_SOURCE_DIR}/media/common/cp932.cpp)
  target_include_directories(records_fuzz_core PUBLIC
    ${PROJECT_SOURCE_DIR}/game ${PROJECT_SOURCE_DIR}/media ${PROJECT_SOURCE_DIR})
  target_compile_options(records_fuzz_core PRIVATE -fsanitize=fuzzer-no-link ${FUZZ_SANITIZERS})

  # The name rule that the server and the menu share.
  add_library(names_fuzz_core STATIC ${PROJECT_SOURCE_DIR}/names/name_rule.cpp)
  target_include_directories(names_fuzz_core PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(names_fuzz_core PRIVATE -fsanitize=fuzzer-no-link ${FUZZ_SANITIZERS})
  target_link_libraries(names_fuzz_core PUBLIC PkgConfig::ICU)

  # The settings file's reader and writer.
  add_library(settings_fuzz_core STATIC
    ${PROJECT_SOURCE_DIR}/settings/settings.cpp
    ${PROJECT_SOURCE_DIR}/settings/inifile.cpp)
  target_include_directories(settings_fuzz_core PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(settings_fuzz_core PRIVATE -fsanitize=fuzzer-no-link ${FUZZ_SANITIZERS})
  target_link_libraries(settings_fuzz_core PUBLIC PkgConfig::SDL2 PkgConfig::INIH names_fuzz_core)

  # The player key file's reader.
  add_library(player_fuzz_core STATIC ${PROJECT_SOURCE_DIR}/player/player_key.cpp)
  target_include_directories(player_fuzz_core PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(player_fuzz_core PRIVATE -fsanitize=fuzzer-no-link ${FUZZ_SANITIZERS})
  target_link_libraries(player_fuzz_core PUBLIC PkgConfig::SODIUM)

  # The game's command line.
  add_library(arguments_fuzz_core STATIC ${PROJECT_SOURCE_DIR}/game/session/arguments.cpp)
  target_include_directories(arguments_fuzz_core PUBLIC ${PROJECT_SOURCE_DIR}/game)
  target_compile_options(arguments_fuzz_core PRIVATE -fsanitize=fuzzer-no-link ${FUZZ_SANITIZERS})

  # Each target with the code it fuzzes: TARGET:LIBRARY.
  foreach(pair fuzz_load_replay:records_fuzz_core fuzz_hiscore_reader:records_fuzz_core
               fuzz_settings_reader:settings_fuzz_core fuzz_player_key:player_fuzz_core
               fuzz_name_rule:names_fuzz_core fuzz_game_arguments:arguments_fuzz_core)
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 target)
    list(GET pair 1 library)
    add_executable(${target} ${CMAKE_CURRENT_LIST_DIR}/fuzz/${target}.cpp)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZERS})
    target_link_options(${target} PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZERS})
    target_link_libraries(${target} PRIVATE ${library})
  endforeach()

  # The run page's comparison, built natively on the game as built: two replays from a
  # server played and compared, and the lost spans of any gap.
  add_executable(fuzz_run_compare ${CMAKE_CURRENT_LIST_DIR}/fuzz/fuzz_run_compare.cpp
                                  ${PROJECT_SOURCE_DIR}/web/compare.cpp)
  target_compile_options(fuzz_run_compare PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZERS})
  target_link_options(fuzz_run_compare PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZERS})
  target_include_directories(fuzz_run_compare PRIVATE ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_LIST_DIR})
  if(NOT TARGET nlohmann_json::nlohmann_json)
    find_package(nlohmann_json 3.10 REQUIRED)
  endif()
  target_link_libraries(fuzz_run_compare PRIVATE tolvane_core media_sound_null media_platform_null
                                                 nlohmann_json::nlohmann_json)

  # The names of take-over records in the menu's records list (plain C++, no Qt).
  add_executable(fuzz_takeover_name ${CMAKE_CURRENT_LIST_DIR}/fuzz/fuzz_takeover_name.cpp
                                    ${PROJECT_SOURCE_DIR}/launcher/takeovername.cpp)
  target_include_directories(fuzz_takeover_name PRIVATE ${PROJECT_SOURCE_DIR}/launcher ${CMAKE_CURRENT_LIST_DIR})
  target_compile_options(fuzz_takeover_name PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZERS})
  target_link_options(fuzz_takeover_name PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZERS})

  # What the menu reads of the online table (its outbox files, the server's answers).
  find_package(Qt6 QUIET COMPONENTS Widgets Network)
  if(Qt6_FOUND)
    add_library(online_fuzz_core STATIC ${PROJECT_SOURCE_DIR}/launcher/outbox.cpp
                                        ${PROJECT_SOURCE_DIR}/launcher/online.cpp
                                        ${PROJECT_SOURCE_DIR}/launcher/answers.cpp)
    target_include_directories(online_fuzz_core PUBLIC ${PROJECT_SOURCE_DIR}/launcher ${PROJECT_SOURCE_DIR})
    target_compile_options(online_fuzz_core PRIVATE -fsanitize=fuzzer-no-link ${FUZZ_SANITIZERS})
    target_compile_definitions(online_fuzz_core PUBLIC QT_NO_KEYWORDS)
    # The replays sent and fetched are played with the game's library, as built.
    target_link_libraries(online_fuzz_core PUBLIC Qt6::Widgets Qt6::Network tolvane_settings tolvane_language
                                                  tolvane_player tolvane_verdict tolvane_core media_sound_null
                                                  media_platform_null)
    add_executable(fuzz_online_answers ${CMAKE_CURRENT_LIST_DIR}/fuzz/fuzz_online_answers.cpp)
    target_compile_options(fuzz_online_answers PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZERS})
    target_link_options(fuzz_online_answers PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZERS})
    target_link_libraries(fuzz_online_answers PRIVATE online_fuzz_core)
  endif()

  # The server's request handling, compiled again with coverage; the game itself is
  # linked as built.
  if(TARGET tolvane_server_core)
    get_target_property(server_sources tolvane_server_core SOURCES)
    get_target_property(server_dir tolvane_server_core SOURCE_DIR)
    set(server_fuzz_sources)
    foreach(src ${server_sources})
      if(NOT IS_ABSOLUTE ${src})
        set(src ${server_dir}/${src})
      endif()
      list(APPEND server_fuzz_sources ${src})
    endforeach()
    add_library(server_fuzz_core STATIC ${server_fuzz_sources})
    target_compile_options(server_fuzz_core PRIVATE -fsanitize=fuzzer-no-link ${FUZZ_SANITIZERS})
    target_link_libraries(server_fuzz_core PUBLIC $<TARGET_PROPERTY:tolvane_server_core,LINK_LIBRARIES>)
    target_include_directories(server_fuzz_core PUBLIC ${PROJECT_SOURCE_DIR})
    add_executable(fuzz_server_request ${CMAKE_CURRENT_LIST_DIR}/fuzz/fuzz_server_request.cpp)
    target_compile_options(fuzz_server_request PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZERS})
    target_link_options(fuzz_server_request PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZERS})
    target_link_libraries(fuzz_server_request PRIVATE server_fuzz_core)
    # The branch lookup: replay bytes to plays, keys and comparisons.
    add_executable(fuzz_branch_lookup ${CMAKE_CURRENT_LIST_DIR}/fuzz/fuzz_branch_lookup.cpp)
    target_compile_options(fuzz_branch_lookup PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZERS})
    target_link_options(fuzz_branch_lookup PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZERS})
    target_link_libraries(fuzz_branch_lookup PRIVATE server_fuzz_core)
  endif()
endif()
