# The view's arithmetic and drawing logic, against a recording surface instead of Qt.
tolvan_test(view_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/recording_surface.cpp
    ${CMAKE_CURRENT_LIST_DIR}/view_transform_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/renderer_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hairline_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rulers_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/status_line_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/replay_timeline_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/loading_picture_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hostile_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/corpus_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/frame_tiles_test.cpp
  LIBS tolvan_view tolvan_core)

# Real images from the Qt drawing layer on the offscreen platform.
tolvan_test(view_pixels_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/image_probe.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pixels_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/equivalence_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/replay_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/failing_new.cpp
  LIBS tolvan_view tolvan_platform)

# The headless renderer as a command, run the way a file manager runs it.
tolvan_test(gcode_render_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gcode_render_test.cpp
  LIBS)
target_compile_definitions(gcode_render_test PRIVATE GCODE_RENDER="$<TARGET_FILE:gcode-render>")
add_dependencies(gcode_render_test gcode-render)
