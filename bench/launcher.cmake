# kestrow's start-up time and peak memory, measured under an Xvfb of its own:
#   ninja -C build bench_launcher
if(TARGET kestrow)
  add_custom_target(bench_launcher
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/launcher_startup.sh $<TARGET_FILE:kestrow> 20
    DEPENDS kestrow
    USES_TERMINAL
    VERBATIM)
endif()

# The replay list over a folder of 1000 replays (run by hand):
#   ninja -C build replay_list_bench && bench/replay_list.sh build
if(TARGET kestrow_ui)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(replay_list_bench replay_list_bench.cpp)
  target_link_libraries(replay_list_bench PRIVATE kestrow_ui Qt6::Test)
endif()
