# The leak checker under its suppressions (scripts/lsan.supp), in the sanitizer build only: a
# leak of program code called from a Qt slot is reported with the slot as the allocating frame,
# and the same window without the leak reports nothing.
if(VANTOR_SANITIZE)
  find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
  add_executable(sonde_fuite ${CMAKE_CURRENT_SOURCE_DIR}/sonde_fuite.cpp)
  target_link_libraries(sonde_fuite PRIVATE Qt6::Widgets Qt6::Test)
  set(vantor_leak_environment
    "QT_QPA_PLATFORM=offscreen"
    "ASAN_OPTIONS=detect_leaks=1:suppressions=${PROJECT_SOURCE_DIR}/scripts/asan.supp"
    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/scripts/lsan.supp:print_suppressions=0")
  add_test(NAME LeakCheck.ALeakInAQtSlotIsReported COMMAND sonde_fuite --fuite)
  set_tests_properties(LeakCheck.ALeakInAQtSlotIsReported PROPERTIES
    ENVIRONMENT "${vantor_leak_environment}"
    PASS_REGULAR_EXPRESSION "leak of [0-9]+ byte\\(s\\) in 1 object\\(s\\) allocated from:\n[^\n]* in operator new[^\n]*\n[^\n]* in (TSondeFuite::)?Clique[ (]"
    TIMEOUT 60)
  add_test(NAME LeakCheck.TheSameWindowWithoutTheLeakReportsNone COMMAND sonde_fuite)
  set_tests_properties(LeakCheck.TheSameWindowWithoutTheLeakReportsNone PROPERTIES
    ENVIRONMENT "${vantor_leak_environment}"
    TIMEOUT 60)
endif()
