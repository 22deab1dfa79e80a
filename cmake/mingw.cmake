# mingw.cmake -- CMake toolchain: Debian's mingw-w64 cross compiler for Windows; -DKERV_WINDOWS_ARCH=x86_64 | i686
if(NOT KERV_WINDOWS_ARCH)
  set(KERV_WINDOWS_ARCH x86_64)
endif()
if(NOT KERV_WINDOWS_ARCH MATCHES "^(x86_64|i686)$")
  message(FATAL_ERROR "KERV_WINDOWS_ARCH is ${KERV_WINDOWS_ARCH}: x86_64 (64-bit) or i686 (32-bit)")
endif()
# CMake reads this file again for every compiler check, which sees only the variables listed here.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KERV_WINDOWS_ARCH)
set(triple ${KERV_WINDOWS_ARCH}-w64-mingw32)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KERV_WINDOWS_ARCH})
# The posix thread model gives std::thread and std::mutex; linked statically (CMakeLists.txt).
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# 32-bit x86 computes in SSE2 as the 64-bit builds do, not in the x87's wider registers, so that its
# floats round as every other build's do (Windows 8 and later need SSE2 anyway).
if(KERV_WINDOWS_ARCH STREQUAL "i686")
  set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
  set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
endif()
