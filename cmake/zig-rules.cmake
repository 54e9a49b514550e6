# Loaded after CMake's platform files (CMAKE_USER_MAKE_RULES_OVERRIDE from
# cmake/zig.cmake). Zig's Mach-O linker makes no MH_BUNDLE images: a loadable
# module is a dynamic library, which hosts open with dlopen all the same.
if(APPLE)
  set(CMAKE_SHARED_MODULE_CREATE_C_FLAGS "-shared")
  set(CMAKE_SHARED_MODULE_CREATE_CXX_FLAGS "-shared")
endif()
