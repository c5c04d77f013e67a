# Poll periods of the three live displays: the real window and driver on COM1, in the Linux and
# in the Windows build (scripts/test-windows --bench runs both against one simulator).
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
add_executable(bench_poll_periods ${CMAKE_CURRENT_LIST_DIR}/bench_poll_periods.cpp)
target_include_directories(bench_poll_periods PRIVATE ${PROJECT_SOURCE_DIR}/tests/app)
target_link_libraries(bench_poll_periods PRIVATE vantor_app_ui korvane Qt6::Test)
if(WIN32)
  qt_import_plugins(bench_poll_periods INCLUDE Qt6::QOffscreenIntegrationPlugin)
endif()
