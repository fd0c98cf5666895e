# Golden replays: every replay in tests/data/ played by tolvane-replay must give its
# expected result (NAME.verify.json) and trace (NAME.trace.jsonl).
file(GLOB GOLDEN_REPLAYS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/data/*.rep)
foreach(replay ${GOLDEN_REPLAYS})
  get_filename_component(name ${replay} NAME_WE)
  add_test(NAME golden_${name}
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/data/check_golden.sh $<TARGET_FILE:tolvane-replay> ${name})
  set_tests_properties(golden_${name} PROPERTIES LABELS golden TIMEOUT 120)
endforeach()

# The same bytes whatever the language and the locale: English asked for everywhere, and
# numbers written with decimal commas where the locale has them.
add_test(NAME golden_autoplay_in_english
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/data/check_golden.sh $<TARGET_FILE:tolvane-replay> autoplay)
set_tests_properties(golden_autoplay_in_english PROPERTIES LABELS golden TIMEOUT 120
  ENVIRONMENT "LANG=en_US.UTF-8;LC_ALL=de_DE.UTF-8;LANGUAGE=en")
