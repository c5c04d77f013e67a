# Polling of the three sensor displays against a simulated sensor (offscreen window, real
# driver): polls per second per display, CPU use and memory growth. Built, not run by the tests.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(bench_polling
  ${CMAKE_CURRENT_SOURCE_DIR}/bench_polling.cpp
  ${PROJECT_SOURCE_DIR}/tests/app/BancVantor.cpp)
target_include_directories(bench_polling PRIVATE ${PROJECT_SOURCE_DIR}/tests/app)
target_link_libraries(bench_polling PRIVATE vantor_app_ui korvane vantor_sim GTest::gtest)
