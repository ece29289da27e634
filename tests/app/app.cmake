# The application shell's tests: settings file, window geometry, dispatch.
tolvan_test(app_settings_file_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/settings_file_test.cpp
  LIBS tolvan_app)
tolvan_test(app_main_window_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/main_window_test.cpp
  LIBS tolvan_app)
tolvan_test(app_replay_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/replay_test.cpp
  LIBS tolvan_app)
tolvan_test(app_main_loop_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/main_loop_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/activate_window.cpp
  LIBS tolvan_app)

# The real program in its own X server; screenshots of each state go to e2e-shots/.
if(TARGET tolvan-gcode)
  add_test(NAME app_end_to_end
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/end_to_end.sh $<TARGET_FILE:tolvan-gcode>
            ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/e2e-shots)
  set_tests_properties(app_end_to_end PROPERTIES TIMEOUT 180 SKIP_RETURN_CODE 77)
  add_test(NAME app_follow_file
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/follow_file.sh $<TARGET_FILE:tolvan-gcode>
            ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/follow-shots)
  set_tests_properties(app_follow_file PROPERTIES TIMEOUT 180 SKIP_RETURN_CODE 77)
  add_test(NAME app_replay_window
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/replay_window.sh $<TARGET_FILE:tolvan-gcode>
            ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/replay-shots)
  set_tests_properties(app_replay_window PROPERTIES TIMEOUT 180 SKIP_RETURN_CODE 77)
endif()
