# Redraw speed of large jobs: strokes, direct drawing on one and every core, the walk alone
# (run by hand, not a test).
add_executable(render_bench ${CMAKE_CURRENT_LIST_DIR}/render_bench.cpp)
target_link_libraries(render_bench PRIVATE tolvan_view tolvan_platform Qt6::Gui)
# The load figures, where the tree has them.
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/load_figures.cpp)
  target_sources(render_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/load_figures.cpp)
endif()
