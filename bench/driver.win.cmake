# Windows driver benchmark (built in build-win64, run under 64-bit Wine by scripts/test-windows --bench):
# read time-outs per rate, transactions per second and CPU time per transaction on COM5.
add_executable(bench_driver_win ${CMAKE_CURRENT_LIST_DIR}/bench_driver_win.cpp)
target_include_directories(bench_driver_win PRIVATE ${PROJECT_SOURCE_DIR}/tests/wine)
target_link_libraries(bench_driver_win PRIVATE korvane korvane_core ws2_32)
