# Tests of the sensor page: text formats and conversions, measurement and monitoring handlers,
# configuration handlers. The handler tests drive the real window through the real driver
# library against simulated sensors on a pseudo-terminal.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Test)

# Pure conversions: built from their own source, no window and no driver needed.
add_executable(test_affichage
  ${CMAKE_CURRENT_SOURCE_DIR}/test_affichage.cpp
  ${PROJECT_SOURCE_DIR}/app/AffichageVantor.cpp)
target_include_directories(test_affichage PRIVATE ${PROJECT_SOURCE_DIR}/app)
target_link_libraries(test_affichage PRIVATE vantor_sensor Qt6::Gui GTest::gtest_main)
vantor_window_test(test_affichage 60)

# Handlers on a recording stand-in of the driver: exact driver calls, timers, displays, no line.
foreach(zone mesures config)
  add_executable(test_${zone}_appels ${CMAKE_CURRENT_SOURCE_DIR}/test_${zone}_appels.cpp)
  target_include_directories(test_${zone}_appels PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(test_${zone}_appels PRIVATE vantor_app_ui korvane_enregistreur Qt6::Test GTest::gtest_main)
  vantor_window_test(test_${zone}_appels 60)
endforeach()

if(WIN32)
  return()
endif()

# Handlers end to end: the real window, the real korvane library and simulated sensors on a
# pseudo-terminal (BancVantor, shared with the other areas' tests).
foreach(zone mesures config)
  add_executable(test_${zone}_sim
    ${CMAKE_CURRENT_SOURCE_DIR}/test_${zone}_sim.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/BancVantor.cpp)
  target_include_directories(test_${zone}_sim PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(test_${zone}_sim PRIVATE vantor_app_ui korvane vantor_sim Qt6::Test GTest::gtest_main)
  gtest_discover_tests(test_${zone}_sim
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endforeach()

# The window through its COM3 naming a serial server: ser2net in front of the simulated bus.
add_executable(test_mesures_passerelle
  ${CMAKE_CURRENT_SOURCE_DIR}/test_mesures_passerelle.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/BancVantor.cpp)
target_include_directories(test_mesures_passerelle PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests/driver ${PROJECT_SOURCE_DIR}/tests/sim)
target_link_libraries(test_mesures_passerelle PRIVATE vantor_app_ui korvane vantor_sim Qt6::Test GTest::gtest_main)
# The server's helper can also start the simulator program; this test uses the in-process bus.
target_compile_definitions(test_mesures_passerelle PRIVATE VANTOR_SIM_PROGRAM="$<TARGET_FILE:vantor-sim>")
gtest_discover_tests(test_mesures_passerelle
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
