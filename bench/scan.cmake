# Bus scan and periodic raw commands against simulated sensors (offscreen window, real driver):
# scan durations against the floor set by the driver's read time-out, and the achieved period of
# periodic sending. Built, not run by the tests.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
add_executable(bench_scan
  ${CMAKE_CURRENT_SOURCE_DIR}/bench_scan.cpp
  ${PROJECT_SOURCE_DIR}/tests/app/BancVantor.cpp)
target_include_directories(bench_scan PRIVATE ${PROJECT_SOURCE_DIR}/tests/app)
target_link_libraries(bench_scan PRIVATE vantor_app_ui korvane vantor_sim Qt6::Test GTest::gtest)
