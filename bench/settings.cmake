# Time of one save of the window's settings (one read, five values, one atomic replacement), of
# one restore, of one plain read of the file and of one rewrite in place. Built, not run by the
# tests.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(bench_settings
  ${CMAKE_CURRENT_SOURCE_DIR}/bench_settings.cpp
  ${PROJECT_SOURCE_DIR}/app/StockAppXml.cpp
  ${PROJECT_SOURCE_DIR}/app/StockAppFichier.cpp
  ${PROJECT_SOURCE_DIR}/app/StockApp.cpp)
target_include_directories(bench_settings PRIVATE ${PROJECT_SOURCE_DIR}/app)
target_link_libraries(bench_settings PRIVATE Qt6::Widgets)
