# Shared part of the MinGW-w64 cross toolchains: the caller sets VANTOR_MINGW_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR. Debian's compilers come in two thread models; the POSIX one gives the
# full C++ thread library, and everything is linked statically (see the top-level file), so no
# MinGW runtime DLL is needed beside the programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VANTOR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANTOR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VANTOR_MINGW_TRIPLET}-windres)
set(CMAKE_DLLTOOL ${VANTOR_MINGW_TRIPLET}-dlltool)
set(CMAKE_OBJDUMP ${VANTOR_MINGW_TRIPLET}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${VANTOR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Test programs run on this machine under Wine, started by the launcher beside the Wine tests.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine/wine-run)
