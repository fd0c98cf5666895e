# Golden replays: every replay in tests/data/ played by tolvane-replay must give its
# expected result (NAME.verify.json) and trace (NAME.trace.jsonl).
file(GLOB GOLDEN_REPLAYS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/data/*.rep)
foreach(replay ${GOLDEN_REPLAYS})
  get_filename_component(name ${replay} NAME_WE)
  add_test(NAME golden_${name}
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/data/check_golden.sh $<TARGET_FILE:tolvane-replay> ${name})
  set_tests_properties(golden_${name} PROPERTIES LABELS golden TIMEOUT 120)
endforeach()
