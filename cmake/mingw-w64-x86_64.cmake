# Cross build of the Qt-free half (korvantix-check, test_core) for 64-bit
# Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix: std::thread
# needs the POSIX threads flavour). Use:
#   cmake -S . -B build-windows -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KTX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KTX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KTX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KTX_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KTX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The programs need nothing but Windows' own DLLs (and the D2XX driver,
# loaded at run time): the C++ and GCC runtimes and winpthreads go in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
