# The program's start and idle costs (offscreen window, real driver, simulated sensor): process
# start to first paint, peak memory of the idle window, time of a settings save. Built, not run
# by the tests.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(bench_app ${CMAKE_CURRENT_SOURCE_DIR}/bench_app.cpp)
target_link_libraries(bench_app PRIVATE vantor_app_ui korvane vantor_sim)
