# Tests of the bus scan, the register read/write tool and the raw command tool: the real window
# through the real driver library to simulated sensors on a pseudo-terminal (BancVantor).
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Test)

foreach(outil IN ITEMS scrute registres commande)
  add_executable(test_${outil}
    ${CMAKE_CURRENT_SOURCE_DIR}/test_${outil}.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/BancVantor.cpp)
  target_include_directories(test_${outil} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(test_${outil} PRIVATE
    vantor_app_ui korvane vantor_sim Qt6::Widgets Qt6::Test GTest::gtest_main)
  # Each case runs in a process of its own, so the full scans (about 7 s each) run in parallel.
  gtest_discover_tests(test_${outil}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endforeach()
