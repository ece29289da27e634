# The stroke benchmark: the layer's path operations against QPainter directly.
# Run build/bench/stroke_bench by hand; it is not part of the test command.
add_executable(stroke_bench ${CMAKE_CURRENT_LIST_DIR}/stroke_bench.cpp)
target_link_libraries(stroke_bench PRIVATE tolvan_platform)
