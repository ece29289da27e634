# What a replay's cursor changes cost on large jobs, the memory they keep and whether each
# frame matches a walk over every move (run by hand, not a test).
add_executable(replay_bench ${CMAKE_CURRENT_LIST_DIR}/replay_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/load_figures.cpp
  ${CMAKE_CURRENT_LIST_DIR}/generated_jobs.cpp)
target_link_libraries(replay_bench PRIVATE tolvan_view tolvan_platform)
