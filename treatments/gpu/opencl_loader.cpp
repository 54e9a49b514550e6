#include <cstdlib>

#include "treatments/gpu/opencl_api.h"
#include "treatments/gpu/symbol_function.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace ormel {
namespace ocl {

namespace {

#if defined(_WIN32)
constexpr const char* kDefaultLibrary = "OpenCL.dll";
using LibraryHandle = HMODULE;
LibraryHandle openLibrary(const char* path) { return LoadLibraryA(path); }
void closeLibrary(LibraryHandle handle) { FreeLibrary(handle); }
void* findSymbol(LibraryHandle handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(handle, name));
}
#else
constexpr const char* kDefaultLibrary = "libOpenCL.so.1";
using LibraryHandle = void*;
// RTLD_LOCAL keeps the runtime's symbols out of the host's namespace.
LibraryHandle openLibrary(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
void closeLibrary(LibraryHandle handle) { dlclose(handle); }
void* findSymbol(LibraryHandle handle, const char* name) { return dlsym(handle, name); }
#endif

template <typename Fn>
bool resolve(LibraryHandle handle, const char* name, Fn& fn) {
    return symbolAsFunction(findSymbol(handle, name), fn);
}

}  // namespace

const char* openClLibraryPath() {
    const char* path = std::getenv("VARNOK_OPENCL_LIBRARY");
    return path != nullptr && path[0] != '\0' ? path : kDefaultLibrary;
}

bool loadApi(Api& api) {
    api = Api{};
    LibraryHandle handle = openLibrary(openClLibraryPath());
    if (handle == nullptr) return false;
    Api found;
    const bool ok = resolve(handle, "clGetPlatformIDs", found.getPlatformIDs) &&
                    resolve(handle, "clGetDeviceIDs", found.getDeviceIDs) &&
                    resolve(handle, "clGetDeviceInfo", found.getDeviceInfo) &&
                    resolve(handle, "clCreateContext", found.createContext) &&
                    resolve(handle, "clReleaseContext", found.releaseContext) &&
                    resolve(handle, "clCreateProgramWithSource", found.createProgramWithSource) &&
                    resolve(handle, "clBuildProgram", found.buildProgram) &&
                    resolve(handle, "clGetProgramBuildInfo", found.getProgramBuildInfo) &&
                    resolve(handle, "clReleaseProgram", found.releaseProgram) &&
                    resolve(handle, "clCreateKernel", found.createKernel) &&
                    resolve(handle, "clReleaseKernel", found.releaseKernel) &&
                    resolve(handle, "clSetKernelArg", found.setKernelArg) &&
                    resolve(handle, "clCreateCommandQueue", found.createCommandQueue) &&
                    resolve(handle, "clReleaseCommandQueue", found.releaseCommandQueue) &&
                    resolve(handle, "clCreateBuffer", found.createBuffer) &&
                    resolve(handle, "clReleaseMemObject", found.releaseMemObject) &&
                    resolve(handle, "clEnqueueNDRangeKernel", found.enqueueNDRangeKernel) &&
                    resolve(handle, "clEnqueueReadBuffer", found.enqueueReadBuffer) &&
                    resolve(handle, "clFinish", found.finish);
    if (!ok) {
        closeLibrary(handle);
        return false;
    }
    api = found;
    return true;
}

}  // namespace ocl
}  // namespace ormel
