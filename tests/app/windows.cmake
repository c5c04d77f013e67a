# The window under Wine through korvane.dll and COM1, against the Linux simulator with sensors at
# addresses 1 and 5 on the line that COM1's device leads to.
add_executable(test_fenetre_com
  ${CMAKE_CURRENT_SOURCE_DIR}/test_fenetre_com.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/test_window_main.cpp)
target_include_directories(test_fenetre_com PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(test_fenetre_com PRIVATE vantor_app_ui korvane Qt6::Test GTest::gtest)
# A folder of its own, with the DLL beside the program, for the settings file it writes there.
set_target_properties(test_fenetre_com PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/fenetre_com)
add_custom_command(TARGET test_fenetre_com POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:korvane> $<TARGET_FILE_DIR:test_fenetre_com>)
add_test(NAME test_fenetre_com
  COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/sim-on-port com1 --id 1 --id 5 --
          ${PROJECT_SOURCE_DIR}/tests/wine/wine-as-user wine $<TARGET_FILE:test_fenetre_com>)
set_tests_properties(test_fenetre_com PROPERTIES TIMEOUT 120
  ENVIRONMENT "WINEQT_QPA_PLATFORM=offscreen;WINEQT_QPA_FONTDIR=${vantor_wine_fonts}")

# What the Windows desktop is told: the window on Qt's windows platform, which Wine draws through
# a private Xvfb server.
add_executable(test_legende_win
  ${CMAKE_CURRENT_SOURCE_DIR}/test_legende_win.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/test_window_main.cpp)
target_include_directories(test_legende_win PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(test_legende_win PRIVATE vantor_app_ui korvane_enregistreur Qt6::Test GTest::gtest)
add_test(NAME test_legende_win
  COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/with-xvfb ${PROJECT_SOURCE_DIR}/tests/wine/on-display-session
          ${PROJECT_SOURCE_DIR}/tests/wine/wine-as-user wine $<TARGET_FILE:test_legende_win>)
set_tests_properties(test_legende_win PROPERTIES TIMEOUT 120
  ENVIRONMENT "WINEQT_QPA_PLATFORM=windows;WINEQT_QPA_FONTDIR=${vantor_wine_fonts}")

# Qt is linked statically here: each test program carries the offscreen platform beside the
# windows one.
get_property(vantor_window_tests DIRECTORY PROPERTY BUILDSYSTEM_TARGETS)
foreach(essai IN LISTS vantor_window_tests)
  get_target_property(genre ${essai} TYPE)
  if(genre STREQUAL "EXECUTABLE")
    qt_import_plugins(${essai} INCLUDE Qt6::QOffscreenIntegrationPlugin)
  endif()
endforeach()

# The folders these tests write to; scripts/test-windows gives them to the user Wine runs as.
file(WRITE ${CMAKE_BINARY_DIR}/wine-writable-folders
  "${CMAKE_BINARY_DIR}/screenshots\n${CMAKE_CURRENT_BINARY_DIR}/settings\n${CMAKE_CURRENT_BINARY_DIR}/fenetre_com\n")
