# The server's bench tools: a database filled with synthetic runs (bench/server_load.sh
# --prefilled N).
if(TARGET tolvane_server_core)
  add_executable(tolvane_fill_runs server_fill.cpp)
  target_link_libraries(tolvane_fill_runs PRIVATE tolvane_server_core)
endif()
