# The web build (web/build.sh, into build-web/ beside this build unless TOLVANE_WEB_BUILD
# says otherwise) against the native tool: the trace of every golden replay byte for
# byte, and pictures of chosen frames pixel for pixel. Skipped when there is no web
# build, except under scripts/test.sh, which makes one.
set(TOLVANE_WEB_BUILD ${PROJECT_SOURCE_DIR}/build-web CACHE PATH "The web build the web tests check")
set(CHECK_WEB ${PROJECT_SOURCE_DIR}/web/tests/check_web.sh)
file(GLOB WEB_GOLDEN_REPLAYS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/data/*.rep)
foreach(replay ${WEB_GOLDEN_REPLAYS})
  get_filename_component(name ${replay} NAME_WE)
  add_test(NAME web_trace_${name}
           COMMAND ${CHECK_WEB} trace $<TARGET_FILE:tolvane-replay> ${TOLVANE_WEB_BUILD} ${name})
  set_tests_properties(web_trace_${name} PROPERTIES LABELS web TIMEOUT 300 SKIP_RETURN_CODE 77)
endforeach()
# The first frames, a level-up burst with its lightning and circle, a bomb's flash,
# the stages, the results; and the same on a replay that bombs early.
add_test(NAME web_pictures_autoplay
         COMMAND ${CHECK_WEB} pictures $<TARGET_FILE:tolvane-replay> ${TOLVANE_WEB_BUILD} autoplay
                 0 1 450 451 452 3800 9000 16000 17797 24400 24460)
add_test(NAME web_pictures_hunter
         COMMAND ${CHECK_WEB} pictures $<TARGET_FILE:tolvane-replay> ${TOLVANE_WEB_BUILD} hunter 561 562 2000)
set_tests_properties(web_pictures_autoplay web_pictures_hunter PROPERTIES LABELS web TIMEOUT 300
                     SKIP_RETURN_CODE 77)
# A race: boost against zero as render --rival draws it (the ghost, a boss's split, the
# stage 2 split, the results line after boost's end with zero still playing); and two pairs
# of runs compared as the run page's plot takes them, line for line as compare gives them.
add_test(NAME web_race_boost_zero
         COMMAND ${CHECK_WEB} race $<TARGET_FILE:tolvane-replay> ${TOLVANE_WEB_BUILD} boost zero 300 3701 5600 7960)
set_tests_properties(web_race_boost_zero PROPERTIES LABELS web TIMEOUT 300 SKIP_RETURN_CODE 77)
foreach(pair boost:zero autoplay:hunter)
  string(REPLACE ":" ";" runs ${pair})
  list(GET runs 0 a)
  list(GET runs 1 b)
  add_test(NAME web_compare_${a}_${b}
           COMMAND ${CHECK_WEB} compare $<TARGET_FILE:tolvane-replay> ${TOLVANE_WEB_BUILD} ${a} ${b})
  set_tests_properties(web_compare_${a}_${b} PROPERTIES LABELS web TIMEOUT 300 SKIP_RETURN_CODE 77)
endforeach()
# sin, cos, atan and the roundings of both builds, number for number.
add_test(NAME web_math COMMAND ${PROJECT_SOURCE_DIR}/web/tests/check_math.sh $<TARGET_FILE:tolvane-mathcheck>
         ${TOLVANE_WEB_BUILD})
set_tests_properties(web_math PROPERTIES LABELS web TIMEOUT 120 SKIP_RETURN_CODE 77)
