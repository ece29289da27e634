# Redraw speed of large jobs: strokes, direct drawing on one and every core, the walk alone,
# beside the load figures (run by hand, not a test).
add_executable(render_bench ${CMAKE_CURRENT_LIST_DIR}/render_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/load_figures.cpp
  ${CMAKE_CURRENT_LIST_DIR}/generated_jobs.cpp)
target_link_libraries(render_bench PRIVATE tolvan_view tolvan_platform Qt6::Gui)
