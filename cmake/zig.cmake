# Cross-compiling with Zig's bundled clang (scripts/install-zig.sh installs
# it). Set on the command line:
#   VARNOK_ZIG         the zig executable
#   VARNOK_ZIG_TARGET  x86_64-macos, aarch64-macos or x86_64-linux-gnu.2.28
# Zig brings the C library headers and stubs of every target and builds libc++
# for it, which it links statically: no SDK or sysroot is needed.
if(NOT VARNOK_ZIG OR NOT VARNOK_ZIG_TARGET)
  message(FATAL_ERROR "cmake/zig.cmake needs -DVARNOK_ZIG=<zig> -DVARNOK_ZIG_TARGET=<target>")
endif()
# try_compile projects see these too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VARNOK_ZIG VARNOK_ZIG_TARGET)

if(VARNOK_ZIG_TARGET MATCHES "macos")
  set(CMAKE_SYSTEM_NAME Darwin)
  # The oldest macOS the bundle loads on; Zig writes it into LC_BUILD_VERSION.
  set(VARNOK_ZIG_TARGET_FULL ${VARNOK_ZIG_TARGET}.11.0)
else()
  set(CMAKE_SYSTEM_NAME Linux)
  set(VARNOK_ZIG_TARGET_FULL ${VARNOK_ZIG_TARGET})
endif()
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR ${VARNOK_ZIG_TARGET})
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
  set(CMAKE_SYSTEM_PROCESSOR arm64)
endif()

# CMake runs one program per tool: small wrappers around zig's sub-commands.
get_filename_component(_varnok_zig_dir ${VARNOK_ZIG} DIRECTORY)
set(_varnok_wrappers ${_varnok_zig_dir}/wrappers/${VARNOK_ZIG_TARGET_FULL})
foreach(_tool cc c++ ar ranlib)
  set(_command "${_tool} -target ${VARNOK_ZIG_TARGET_FULL}")
  if(_tool STREQUAL "ar" OR _tool STREQUAL "ranlib")
    set(_command ${_tool})
  endif()
  set(_text "#!/bin/sh\nexec \"${VARNOK_ZIG}\" ${_command} \"$@\"\n")
  set(_file ${_varnok_wrappers}/${_tool})
  if(EXISTS ${_file})
    file(READ ${_file} _old)
  else()
    set(_old "")
  endif()
  if(NOT _old STREQUAL _text)
    file(WRITE ${_file} "${_text}")
    file(CHMOD ${_file} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
         WORLD_READ WORLD_EXECUTE)
  endif()
endforeach()
set(CMAKE_C_COMPILER ${_varnok_wrappers}/cc)
set(CMAKE_CXX_COMPILER ${_varnok_wrappers}/c++)
set(CMAKE_AR ${_varnok_wrappers}/ar CACHE FILEPATH "zig ar")
set(CMAKE_RANLIB ${_varnok_wrappers}/ranlib CACHE FILEPATH "zig ranlib")

# Libraries and headers of the build machine are never the target's: Zig
# brings the C and C++ libraries, and nothing else is searched for.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_FIND_ROOT_PATH ${_varnok_wrappers})

set(CMAKE_USER_MAKE_RULES_OVERRIDE ${CMAKE_CURRENT_LIST_DIR}/zig-rules.cmake)

# Zig's Mach-O linker takes no exported-symbols list: every file is compiled
# with hidden symbols, and the two OpenFX entry points, marked for export in
# their declaration, are the only ones left visible (scripts/check-macos-bundle.sh
# checks it; plugin/private_new_delete.cpp keeps the runtime's allocation
# functions in).
set(CMAKE_C_VISIBILITY_PRESET hidden)
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)

# Zig's compiler runtime has no data behind __builtin_cpu_supports on x86-64.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(CMAKE_CXX_FLAGS_INIT "-DVARNOK_CPUID_BY_HAND=1")
endif()
