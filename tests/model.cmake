# The independent model of the world simulation (tools/model) against tolvane-replay: the
# replays come from the generator with fixed seeds, and the first 3000 frames of each are
# compared field by field and object by object.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  set(MODEL_REPLAYS ${CMAKE_CURRENT_BINARY_DIR}/model-replays)
  add_test(NAME model_replays
           COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/model/make_replays.py
                   ${MODEL_REPLAYS} taps hunter offscreen)
  set_tests_properties(model_replays PROPERTIES LABELS model FIXTURES_SETUP model_replays TIMEOUT 60)
  add_test(NAME model_agrees
           COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/model/compare.py
                   --tool $<TARGET_FILE:tolvane-replay> --until 3000 --every 1
                   ${MODEL_REPLAYS}/taps.rep ${MODEL_REPLAYS}/hunter.rep ${MODEL_REPLAYS}/offscreen.rep)
  set_tests_properties(model_agrees PROPERTIES LABELS model FIXTURES_REQUIRED model_replays TIMEOUT 120)
else()
  message(WARNING "python3 not found: the model_agrees check is left out")
endif()
