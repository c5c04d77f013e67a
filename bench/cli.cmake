# vantor-cli against simulated sensors: durations of scan, info, read and report against the
# floors set by the driver's read time-out, and (bench/commission_ten.sh) ten sensors
# commissioned one after the other from a shell loop. Built, not run by the tests.
add_executable(bench_cli ${CMAKE_CURRENT_SOURCE_DIR}/bench_cli.cpp)
target_link_libraries(bench_cli PRIVATE vantor_sim)
target_compile_definitions(bench_cli PRIVATE VANTOR_CLI_PROGRAM="$<TARGET_FILE:vantor-cli>")
add_dependencies(bench_cli vantor-cli)

# find, config apply and the report's Line section (bench_terrain.cpp): against the sum of the
# scan floors of the settings find tries, and the floor of the transactions of config apply.
add_executable(bench_terrain ${CMAKE_CURRENT_SOURCE_DIR}/bench_terrain.cpp)
target_link_libraries(bench_terrain PRIVATE vantor_sim vantor_cli_core)
target_compile_definitions(bench_terrain PRIVATE VANTOR_CLI_PROGRAM="$<TARGET_FILE:vantor-cli>")
add_dependencies(bench_terrain vantor-cli)
