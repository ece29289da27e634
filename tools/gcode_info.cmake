# gcode-info: the command-line inspector of what the interpreter makes of a file.
add_executable(gcode-info ${CMAKE_CURRENT_SOURCE_DIR}/gcode_info.cpp)
# The status line texts come from the view, which writes them into a window control;
# the tool never opens a window, but the view library needs the platform layer to link.
target_link_libraries(gcode-info PRIVATE tolvan_view tolvan_platform tolvan_core)
install(TARGETS gcode-info RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
