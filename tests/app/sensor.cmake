# Tests of the sensor page: text formats and conversions, measurement and monitoring handlers,
# configuration handlers. The handler tests drive the real window through the real driver
# library against simulated sensors on a pseudo-terminal.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Test)

# Pure conversions: built from their own source, no window and no driver needed.
add_executable(test_affichage
  ${CMAKE_CURRENT_SOURCE_DIR}/test_affichage.cpp
  ${PROJECT_SOURCE_DIR}/app/AffichageVantor.cpp)
target_include_directories(test_affichage PRIVATE ${PROJECT_SOURCE_DIR}/app)
target_link_libraries(test_affichage PRIVATE vantor_common Qt6::Gui GTest::gtest_main)
gtest_discover_tests(test_affichage)
