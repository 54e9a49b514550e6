// The slice of the OpenCL 1.2 C API the pixel sort uses, declared here so the
// plug-in neither needs the OpenCL headers nor links the runtime: the entry
// points are looked up at run time in whatever loader is installed.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define VARNOK_CL_CALL __stdcall
#else
#define VARNOK_CL_CALL
#endif

namespace ormel {
namespace ocl {

using Int = int32_t;
using Uint = uint32_t;
using Ulong = uint64_t;
using Bool = Uint;
using Bitfield = Ulong;
using DeviceType = Bitfield;
using DeviceInfo = Uint;
using MemFlags = Bitfield;
using QueueProperties = Bitfield;
using ProgramBuildInfo = Uint;
using ContextProperties = intptr_t;

using PlatformId = struct OpaquePlatform*;
using DeviceId = struct OpaqueDevice*;
using Context = struct OpaqueContext*;
using CommandQueue = struct OpaqueCommandQueue*;
using Mem = struct OpaqueMem*;
using Program = struct OpaqueProgram*;
using Kernel = struct OpaqueKernel*;
using Event = struct OpaqueEvent*;

constexpr Int kSuccess = 0;
constexpr Bool kTrue = 1;
constexpr DeviceType kDeviceTypeCpu = 1u << 1;
constexpr DeviceType kDeviceTypeGpu = 1u << 2;
constexpr DeviceType kDeviceTypeAccelerator = 1u << 3;
constexpr DeviceType kDeviceTypeAll = 0xFFFFFFFFu;
constexpr DeviceInfo kDeviceMaxWorkGroupSize = 0x1004;
constexpr DeviceInfo kDeviceAvailable = 0x1027;
constexpr DeviceInfo kDeviceCompilerAvailable = 0x1028;
constexpr MemFlags kMemReadWrite = 1u << 0;
constexpr MemFlags kMemReadOnly = 1u << 2;
constexpr MemFlags kMemCopyHostPtr = 1u << 5;
constexpr ProgramBuildInfo kProgramBuildLog = 0x1183;

using ContextNotify = void(VARNOK_CL_CALL*)(const char*, const void*, size_t, void*);
using BuildNotify = void(VARNOK_CL_CALL*)(Program, void*);

using GetPlatformIDsFn = Int(VARNOK_CL_CALL*)(Uint, PlatformId*, Uint*);
using GetDeviceIDsFn = Int(VARNOK_CL_CALL*)(PlatformId, DeviceType, Uint, DeviceId*, Uint*);
using GetDeviceInfoFn = Int(VARNOK_CL_CALL*)(DeviceId, DeviceInfo, size_t, void*, size_t*);
using CreateContextFn = Context(VARNOK_CL_CALL*)(const ContextProperties*, Uint, const DeviceId*,
                                                 ContextNotify, void*, Int*);
using ReleaseContextFn = Int(VARNOK_CL_CALL*)(Context);
using CreateProgramWithSourceFn = Program(VARNOK_CL_CALL*)(Context, Uint, const char**, const size_t*,
                                                           Int*);
using BuildProgramFn = Int(VARNOK_CL_CALL*)(Program, Uint, const DeviceId*, const char*, BuildNotify,
                                            void*);
using GetProgramBuildInfoFn = Int(VARNOK_CL_CALL*)(Program, DeviceId, ProgramBuildInfo, size_t, void*,
                                                   size_t*);
using ReleaseProgramFn = Int(VARNOK_CL_CALL*)(Program);
using CreateKernelFn = Kernel(VARNOK_CL_CALL*)(Program, const char*, Int*);
using ReleaseKernelFn = Int(VARNOK_CL_CALL*)(Kernel);
using SetKernelArgFn = Int(VARNOK_CL_CALL*)(Kernel, Uint, size_t, const void*);
using CreateCommandQueueFn = CommandQueue(VARNOK_CL_CALL*)(Context, DeviceId, QueueProperties, Int*);
using ReleaseCommandQueueFn = Int(VARNOK_CL_CALL*)(CommandQueue);
using CreateBufferFn = Mem(VARNOK_CL_CALL*)(Context, MemFlags, size_t, void*, Int*);
using ReleaseMemObjectFn = Int(VARNOK_CL_CALL*)(Mem);
using EnqueueNDRangeKernelFn = Int(VARNOK_CL_CALL*)(CommandQueue, Kernel, Uint, const size_t*,
                                                    const size_t*, const size_t*, Uint, const Event*,
                                                    Event*);
using EnqueueReadBufferFn = Int(VARNOK_CL_CALL*)(CommandQueue, Mem, Bool, size_t, size_t, void*, Uint,
                                                 const Event*, Event*);
using FinishFn = Int(VARNOK_CL_CALL*)(CommandQueue);

// Entry points resolved from the loaded runtime; all set or the load failed.
struct Api {
    GetPlatformIDsFn getPlatformIDs = nullptr;
    GetDeviceIDsFn getDeviceIDs = nullptr;
    GetDeviceInfoFn getDeviceInfo = nullptr;
    CreateContextFn createContext = nullptr;
    ReleaseContextFn releaseContext = nullptr;
    CreateProgramWithSourceFn createProgramWithSource = nullptr;
    BuildProgramFn buildProgram = nullptr;
    GetProgramBuildInfoFn getProgramBuildInfo = nullptr;
    ReleaseProgramFn releaseProgram = nullptr;
    CreateKernelFn createKernel = nullptr;
    ReleaseKernelFn releaseKernel = nullptr;
    SetKernelArgFn setKernelArg = nullptr;
    CreateCommandQueueFn createCommandQueue = nullptr;
    ReleaseCommandQueueFn releaseCommandQueue = nullptr;
    CreateBufferFn createBuffer = nullptr;
    ReleaseMemObjectFn releaseMemObject = nullptr;
    EnqueueNDRangeKernelFn enqueueNDRangeKernel = nullptr;
    EnqueueReadBufferFn enqueueReadBuffer = nullptr;
    FinishFn finish = nullptr;
};

// Where the runtime is looked for: $VARNOK_OPENCL_LIBRARY when set and not
// empty, else the system's ICD loader.
const char* openClLibraryPath();

// Opens the runtime library and resolves every entry point. False, with `api`
// left empty, when the library or any entry point is missing. The library
// stays loaded for the rest of the process once it succeeds.
bool loadApi(Api& api);

}  // namespace ocl
}  // namespace ormel
