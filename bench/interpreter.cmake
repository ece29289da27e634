# The interpreter benchmark: a plain program that prints throughput and memory figures.
add_executable(interpreter_bench ${CMAKE_CURRENT_LIST_DIR}/interpreter_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/load_figures.cpp)
target_link_libraries(interpreter_bench PRIVATE tolvan_core)
target_compile_definitions(interpreter_bench PRIVATE TOLVAN_CORPUS_DIR="${TOLVAN_CORPUS_DIR}")
