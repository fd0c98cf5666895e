# Benchmarks of the game: composing a frame, and simulating whole games headless.
if(benchmark_FOUND)
  add_executable(tolvane_bench compose_bench.cpp simulate_bench.cpp)
  target_link_libraries(tolvane_bench PRIVATE tolvane_core media_sound_null media_platform_null
                        benchmark::benchmark_main)
  target_compile_definitions(tolvane_bench PRIVATE TOLVANE_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
endif()

# What presenting a frame in a real window costs, step by step (run under
# bench/present.sh, which gives it a display).
if(benchmark_FOUND)
  add_executable(present_bench present_bench.cpp)
  target_link_libraries(present_bench PRIVATE tolvane_core media_sound_null media_platform_null benchmark::benchmark_main)
  target_compile_definitions(present_bench PRIVATE TOLVANE_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
endif()
