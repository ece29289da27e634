# The hairline rasteriser once more in its portable form, without the SSE2 blends, which is
# what a machine without SSE2 builds: the same tests hold it to the same pixels.
add_executable(hairline_portable_test
  ${CMAKE_SOURCE_DIR}/view/hairline.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hairline_test.cpp)
target_include_directories(hairline_portable_test PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(hairline_portable_test PRIVATE TOLVAN_PORTABLE_PIXELS)
target_link_libraries(hairline_portable_test PRIVATE GTest::gtest GTest::gtest_main)
gtest_discover_tests(hairline_portable_test TEST_PREFIX "Portable" DISCOVERY_TIMEOUT 60)
