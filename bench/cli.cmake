# vantor-cli against simulated sensors: durations of scan, info, read and report against the
# floors set by the driver's read time-out, and (bench/commission_ten.sh) ten sensors
# commissioned one after the other from a shell loop. Built, not run by the tests.
add_executable(bench_cli ${CMAKE_CURRENT_SOURCE_DIR}/bench_cli.cpp)
target_link_libraries(bench_cli PRIVATE vantor_sim)
target_compile_definitions(bench_cli PRIVATE VANTOR_CLI_PROGRAM="$<TARGET_FILE:vantor-cli>")
add_dependencies(bench_cli vantor-cli)
