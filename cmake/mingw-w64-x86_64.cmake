# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 toolchain, POSIX
# threads variant: the win32 variant of this GCC has no std::mutex or
# std::call_once, which the host library and the GPU path use.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VARNOK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VARNOK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNOK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VARNOK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VARNOK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests run through Wine when one is installed; building never needs it.
find_program(VARNOK_WINE wine)
if(VARNOK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VARNOK_WINE})
endif()
