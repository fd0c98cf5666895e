# The installed game: cmake --install into a read-only temporary prefix, the programs
# run as an unprivileged user, the live game's records in $XDG_DATA_HOME/tolvane, the
# desktop files, metainfo, file type and manual pages through their validators.
if(NOT TARGET kestrow)
  return()
endif()
add_test(NAME install_test
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/install/install_test.sh ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR}
          ${CMAKE_BINARY_DIR}/screenshots/install)
set_tests_properties(install_test PROPERTIES LABELS "install;window" TIMEOUT 300 RUN_SERIAL ON)

# The .deb that cpack makes from this build, installed with dpkg into a scratch root.
add_test(NAME package_test
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/install/package_test.sh ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR})
set_tests_properties(package_test PROPERTIES LABELS "install;package" TIMEOUT 300 RUN_SERIAL ON
  SKIP_RETURN_CODE 77)
