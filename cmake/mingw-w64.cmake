# Cross build for 64-bit Windows with mingw-w64 on Linux:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The program is linked statically, so norvistrand.exe needs only the system's own DLLs.
# Test executables run under wine when it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NORVISTRAND_MINGW_PREFIX x86_64-w64-mingw32)
# The posix variant has std::mutex and std::thread, which GoogleTest needs; the program itself
# uses neither.
find_program(NORVISTRAND_MINGW_CC NAMES ${NORVISTRAND_MINGW_PREFIX}-gcc-posix ${NORVISTRAND_MINGW_PREFIX}-gcc)
find_program(NORVISTRAND_MINGW_CXX NAMES ${NORVISTRAND_MINGW_PREFIX}-g++-posix ${NORVISTRAND_MINGW_PREFIX}-g++)
set(CMAKE_C_COMPILER ${NORVISTRAND_MINGW_CC})
set(CMAKE_CXX_COMPILER ${NORVISTRAND_MINGW_CXX})
set(CMAKE_RC_COMPILER ${NORVISTRAND_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${NORVISTRAND_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(NORVISTRAND_WINE NAMES wine wine64)
if(NORVISTRAND_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NORVISTRAND_WINE})
endif()
