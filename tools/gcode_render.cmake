# gcode-render: a G-code file to a PNG with the viewer's renderer, for thumbnails and checks.
add_executable(gcode-render ${CMAKE_CURRENT_LIST_DIR}/gcode_render.cpp)
target_link_libraries(gcode-render PRIVATE tolvan_view tolvan_platform)
install(TARGETS gcode-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
