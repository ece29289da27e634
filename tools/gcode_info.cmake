# gcode-info: the command-line inspector of what the interpreter makes of a file.
add_executable(gcode-info ${CMAKE_CURRENT_SOURCE_DIR}/gcode_info.cpp)
target_link_libraries(gcode-info PRIVATE tolvan_core)
install(TARGETS gcode-info RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
