# The G-code model: interpreter, store, statistics, loading, and the corpus.
tolvan_test(model_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/gcode_test_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/reference_interpreter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/compare_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/interpreter_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/job_stats_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/arcs_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/job_pace_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/job_lines_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/toolpath_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/loading_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/randomised_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/corpus_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/examples_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/failing_new.cpp
  LIBS tolvan_core)
