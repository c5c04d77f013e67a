# Driver benchmark (built, not run by CTest): bench_driver prints read time-outs per rate,
# transactions per second and CPU time per transaction over a pseudo-terminal.
add_executable(bench_driver ${CMAKE_CURRENT_LIST_DIR}/bench_driver.cpp)
target_include_directories(bench_driver PRIVATE ${PROJECT_SOURCE_DIR}/tests/driver)
target_link_libraries(bench_driver PRIVATE korvane korvane_core util)
