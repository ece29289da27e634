# Runs the gcode-info command itself.
tolvan_test(gcode_info_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/gcode_test_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gcode_info_test.cpp
  LIBS tolvan_core)
add_dependencies(gcode_info_tests gcode-info)
target_compile_definitions(gcode_info_tests PRIVATE GCODE_INFO_PATH="$<TARGET_FILE:gcode-info>")
