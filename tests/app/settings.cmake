# Tests of the settings file: the XML store (file text byte for byte, merging, integer rules,
# encodings, read-only and unwritable files, links to FIFOs and devices, unreadable and hostile
# files, full file systems, killed saves, left-over temporary files), the window binding (restore
# and save of the four communication widgets on a stand-in window), and the warning of the real
# window for a file it cannot use.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Test)

add_executable(test_settings
  ${CMAKE_CURRENT_SOURCE_DIR}/test_settings_main.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/test_settings_store.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/test_settings_binding.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/test_settings_encodings.cpp
  ${PROJECT_SOURCE_DIR}/app/StockAppXml.cpp
  ${PROJECT_SOURCE_DIR}/app/StockAppFichier.cpp
  ${PROJECT_SOURCE_DIR}/app/StockApp.cpp)
# File modes, FIFOs, device nodes, other users' files, full and killed file systems: POSIX only.
if(NOT WIN32)
  target_sources(test_settings PRIVATE
    ${CMAKE_CURRENT_SOURCE_DIR}/test_settings_files.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/test_settings_disk.cpp)
endif()
target_include_directories(test_settings PRIVATE ${PROJECT_SOURCE_DIR}/app)
target_link_libraries(test_settings PRIVATE Qt6::Widgets Qt6::Test GTest::gtest)
# A folder of its own: the default-path test writes "AppVantor.xml" beside this executable, where
# no other test program reads or writes it.
set_target_properties(test_settings PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/settings)
vantor_window_test(test_settings 60 "settings.")

# The warning of the window for a settings file it cannot use: the real window on the recording
# stand-in of the driver.
add_executable(test_settings_warning
  ${CMAKE_CURRENT_SOURCE_DIR}/test_settings_warning.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/test_window_main.cpp)
target_include_directories(test_settings_warning PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(test_settings_warning PRIVATE vantor_app_ui korvane_enregistreur Qt6::Test GTest::gtest)
vantor_window_test(test_settings_warning 60 "settings.")
