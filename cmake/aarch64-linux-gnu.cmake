# Cross build for 64-bit Arm Linux with Debian's cross compiler (g++-aarch64-linux-gnu):
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
#         -DCMAKE_PREFIX_PATH=<GoogleTest built for aarch64>
# Test executables run under qemu-user (Debian: qemu-user), so CTest runs the tests here too.
# scripts/test_arm64.sh installs all of it, builds GoogleTest for aarch64 and runs the tests.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(NORVISTRAND_AARCH64_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${NORVISTRAND_AARCH64_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${NORVISTRAND_AARCH64_TRIPLE}-g++)

# The target's C and C++ libraries live in /usr/aarch64-linux-gnu; libraries built for aarch64
# elsewhere (GoogleTest in a build folder) are named in CMAKE_PREFIX_PATH and searched as roots
# of their own. Programs are the build machine's.
set(NORVISTRAND_AARCH64_ROOT /usr/${NORVISTRAND_AARCH64_TRIPLE})
set(CMAKE_FIND_ROOT_PATH ${NORVISTRAND_AARCH64_ROOT} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# qemu-user runs the aarch64 executables, with the target's dynamic loader and libraries.
find_program(NORVISTRAND_QEMU_AARCH64 NAMES qemu-aarch64 qemu-aarch64-static)
if(NORVISTRAND_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NORVISTRAND_QEMU_AARCH64} -L ${NORVISTRAND_AARCH64_ROOT})
endif()
