# kestrow's start-up time and peak memory, measured under an Xvfb of its own:
#   ninja -C build bench_launcher
if(TARGET kestrow)
  add_custom_target(bench_launcher
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/launcher_startup.sh $<TARGET_FILE:kestrow> 20
    DEPENDS kestrow
    USES_TERMINAL
    VERBATIM)
endif()
