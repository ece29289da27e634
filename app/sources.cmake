# The application shell: start-up, main loop, main window, settings file, opening files.
set(APP_SOURCES
  app/arc_option.cpp
  app/follow_file.cpp
  app/main_loop.cpp
  app/main_window.cpp
  app/open_file.cpp
  app/replay.cpp
  app/settings_disk.cpp
  app/settings_file.cpp
)

# The window icon travels inside the executable as a Qt resource. The executable is
# declared after this file is read, so the resource is attached once the whole top-level
# file has been processed.
function(tolvan_attach_window_icon)
  if(TARGET tolvan-gcode)
    set_target_properties(tolvan-gcode PROPERTIES AUTORCC ON)
    target_sources(tolvan-gcode PRIVATE ${CMAKE_SOURCE_DIR}/resources/tolvan-gcode.qrc)
  endif()
endfunction()
cmake_language(DEFER CALL tolvan_attach_window_icon)
