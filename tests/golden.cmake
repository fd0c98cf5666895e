# Golden replays: each replay in tests/data/ played by tolvane-replay must give its
# expected result and trace.
foreach(name zero wander boost hunter autoplay)
  add_test(NAME golden_${name}
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/data/check_golden.sh $<TARGET_FILE:tolvane-replay> ${name})
  set_tests_properties(golden_${name} PROPERTIES LABELS golden TIMEOUT 120)
endforeach()
