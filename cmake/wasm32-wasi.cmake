# WebAssembly for the web page's module: clang 14 with Debian's wasi-libc, libc++ and
# compiler-rt for wasm32 (packages clang-14 lld-14 libc++-dev-wasm32 libclang-rt-dev-wasm32).
# One LLVM version only: once another version's wasm32 libc++ is installed, clang 14 refuses
# its headers. Debian's wasm32 libc++abi has no exceptions, so none are built. The module links
# with link-time optimisation, as the native optimised builds do: a signal line's path crosses
# the converter and numtext, and inlined across them it takes a fifth less time here.
# CMake has no platform file for WASI: the generic one, and our own switch.
set(CMAKE_SYSTEM_NAME Generic)
set(NORVISTRAND_WASI ON)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_FLAGS_INIT "-fno-exceptions -flto")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-flto")
# The compiler's checks compile without linking: the module links only as a reactor.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
