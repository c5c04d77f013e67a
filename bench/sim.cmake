# Simulator answer latency and idle CPU use. Built, not run by the tests.
add_executable(bench_sim ${CMAKE_CURRENT_SOURCE_DIR}/bench_sim.cpp)
target_link_libraries(bench_sim PRIVATE vantor_sim)
