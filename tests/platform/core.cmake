# The toolkit-free platform helpers: number-to-text and paths.
tolvan_test(platform_core_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/numtext_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/paths_test.cpp
  LIBS tolvan_core)
