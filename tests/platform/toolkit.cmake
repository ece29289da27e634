# The Qt platform layer on Qt's offscreen platform, one program; the display-scale checks
# run in a second program under QT_SCALE_FACTOR=1.5; a third test drives a real X server.
tolvan_test(platform_qt_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/toolkit_env.cpp
    ${CMAKE_CURRENT_LIST_DIR}/event_queue_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/canvas_events_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/drawing_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/desktop_test.cpp
  LIBS tolvan_platform)

add_executable(platform_scale_test
  ${CMAKE_CURRENT_LIST_DIR}/toolkit_env.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scale_test.cpp)
target_link_libraries(platform_scale_test PRIVATE tolvan_platform GTest::gtest GTest::gtest_main)
# One test for the whole program: discovered tests cannot carry two environment variables.
add_test(NAME platform_scale_test COMMAND platform_scale_test)
set_tests_properties(platform_scale_test PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=1.5" TIMEOUT 60)

# A real X server: the script starts Xvfb, drives the window with xdotool and checks the
# events the driver prints. Skipped (77) when Xvfb or xdotool is missing.
add_executable(platform_x11_driver ${CMAKE_CURRENT_LIST_DIR}/x11_driver.cpp)
target_link_libraries(platform_x11_driver PRIVATE tolvan_platform)
add_test(NAME platform_x11_test
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/x11_test.sh $<TARGET_FILE:platform_x11_driver>)
set_tests_properties(platform_x11_test PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)

# Without a usable display initToolkit reports failure instead of letting Qt abort.
add_test(NAME platform_no_display_test
  COMMAND env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM $<TARGET_FILE:platform_x11_driver>)
add_test(NAME platform_unreachable_display_test
  COMMAND env -u WAYLAND_DISPLAY DISPLAY=:65000 QT_QPA_PLATFORM=xcb $<TARGET_FILE:platform_x11_driver>)
set_tests_properties(platform_no_display_test platform_unreachable_display_test PROPERTIES
  PASS_REGULAR_EXPRESSION "^no display" TIMEOUT 30)
