# Hostile and huge inputs, end to end: the real program in its own X server, fed files and
# settings that could crash it, hang it or cost the user their settings. Screenshots of
# every state go to hostile-shots/.

# Writes a laser raster of an exact size quickly, for the 1 GB case.
add_executable(hostile_make_raster ${CMAKE_CURRENT_SOURCE_DIR}/make_raster.cpp)

if(TARGET tolvan-gcode)
  set(hostile_shots ${CMAKE_BINARY_DIR}/hostile-shots)

  add_test(NAME hostile_files
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/hostile_files.sh $<TARGET_FILE:tolvan-gcode>
            $<TARGET_FILE:gcode-info> $<TARGET_FILE:hostile_make_raster> ${CMAKE_SOURCE_DIR}
            ${hostile_shots})
  set_tests_properties(hostile_files PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)

  add_test(NAME hostile_settings
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/hostile_settings.sh $<TARGET_FILE:tolvan-gcode>
            ${CMAKE_SOURCE_DIR} ${hostile_shots})
  set_tests_properties(hostile_settings PROPERTIES TIMEOUT 180 SKIP_RETURN_CODE 77)

  # Needs 3 GB of free disk and 4 GB of memory, and skips without them; it runs alone so
  # that its timings and memory figures are not disturbed by other tests.
  add_test(NAME hostile_huge_file
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/hostile_huge_file.sh $<TARGET_FILE:tolvan-gcode>
            $<TARGET_FILE:hostile_make_raster> $<TARGET_FILE:gcode-info> ${CMAKE_SOURCE_DIR}
            ${hostile_shots} ${TOLVAN_SANITIZE})
  set_tests_properties(hostile_huge_file PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77
                       RUN_SERIAL TRUE)
endif()
