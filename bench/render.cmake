# Redraw speed of large raster jobs against a plain QPainter floor (run by hand, not a test).
add_executable(render_bench ${CMAKE_CURRENT_LIST_DIR}/render_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/load_figures.cpp)
target_link_libraries(render_bench PRIVATE tolvan_view tolvan_platform Qt6::Gui)
