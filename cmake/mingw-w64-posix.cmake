# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threads).
# The programs it builds run here under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOLVANE_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TOLVANE_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLVANE_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLVANE_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOLVANE_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One .exe with no DLLs beside it: the C and C++ runtimes and winpthread linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(TOLVANE_WINE NAMES wine wine64)
if(TOLVANE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TOLVANE_WINE})
endif()
