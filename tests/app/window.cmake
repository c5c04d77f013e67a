# Tests of the main window and start-up: layout and widget kinds, the driver calls of start-up
# and of the communication settings (through the recording stand-in library), the settings
# wiring, and page pictures written to ${CMAKE_BINARY_DIR}/screenshots for a person to look at.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Test)

# The stand-in for korvane: a shared library exporting the same names, recording every call.
add_library(korvane_enregistreur SHARED ${CMAKE_CURRENT_SOURCE_DIR}/KorvaneEnregistreur.cpp)
target_include_directories(korvane_enregistreur PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/app
                                                   ${PROJECT_SOURCE_DIR}/driver)
target_link_libraries(korvane_enregistreur PUBLIC vantor_common)
if(WIN32)
  # The DLL exports every function of its own, none of the runtime linked into it statically.
  target_link_options(korvane_enregistreur PRIVATE
    "LINKER:--exclude-libs,libgcc.a:libgcc_eh.a:libstdc++.a:libwinpthread.a:libmingwex.a")
endif()

foreach(essai window startup combos drawing captures)
  add_executable(test_${essai}
    ${CMAKE_CURRENT_SOURCE_DIR}/test_${essai}.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/test_window_main.cpp)
  target_include_directories(test_${essai} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(test_${essai} PRIVATE vantor_app_ui korvane_enregistreur Qt6::Test GTest::gtest)
  vantor_window_test(test_${essai} 60)
endforeach()
target_compile_definitions(test_captures PRIVATE VANTOR_CAPTURES_DIR="${CMAKE_BINARY_DIR}/screenshots")

if(WIN32)
  return()
endif()
# What the X11 desktop is told (captions, window class): the window on the xcb platform against
# an Xvfb server of the test's own, read back with xprop; skipped where either is missing.
add_executable(test_caption ${CMAKE_CURRENT_SOURCE_DIR}/test_caption.cpp)
target_include_directories(test_caption PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(test_caption PRIVATE vantor_app_ui korvane_enregistreur Qt6::Test GTest::gtest_main)
gtest_discover_tests(test_caption PROPERTIES TIMEOUT 60)
