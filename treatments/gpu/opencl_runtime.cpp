#include "treatments/gpu/opencl_runtime.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

#include "treatments/gpu/kernel_source.h"

namespace ormel {

namespace {

// FP_CONTRACT off keeps a*b+c as two roundings, as the C++ build of the same
// kernels computes it, so the two agree to the last bit where the device
// rounds correctly.
constexpr const char kPrelude[] =
    "#pragma OPENCL FP_CONTRACT OFF\n"
    "#define VK_GLOBAL __global\n"
    "#define VK_CONSTANT __constant\n"
    "#define VK_FUNC static inline\n"
    "#define VK_KERNEL __kernel\n"
    "#define VK_BUFFER(i)\n"
    "#define VK_THREAD_PARAMS\n"
    "#define VK_THREAD_X ((uint)get_global_id(0))\n"
    "#define VK_THREAD_Y ((uint)get_global_id(1))\n";

bool deviceUsable(const ocl::Api& api, ocl::DeviceId device) {
    ocl::Bool available = 0;
    ocl::Bool compiler = 0;
    return api.getDeviceInfo(device, ocl::kDeviceAvailable, sizeof(available), &available, nullptr) ==
               ocl::kSuccess &&
           api.getDeviceInfo(device, ocl::kDeviceCompilerAvailable, sizeof(compiler), &compiler,
                             nullptr) == ocl::kSuccess &&
           available != 0 && compiler != 0;
}

std::vector<ocl::PlatformId> platforms(const ocl::Api& api) {
    ocl::Uint count = 0;
    if (api.getPlatformIDs(0, nullptr, &count) != ocl::kSuccess || count == 0) return {};
    std::vector<ocl::PlatformId> found(count);
    if (api.getPlatformIDs(count, found.data(), &count) != ocl::kSuccess) return {};
    found.resize(count < found.size() ? count : found.size());
    return found;
}

// $VARNOK_OPENCL_DEVICE: unset or "gpu" takes GPUs and accelerators only,
// "any" also processor devices, "none" turns OpenCL off. Processor devices
// are opt-in because the per-pixel block scans suit a GPU: on a processor
// OpenCL device the kernels run several times slower than the processor sort.
std::vector<ocl::DeviceType> devicePreference() {
    const char* choice = std::getenv("VARNOK_OPENCL_DEVICE");
    if (choice != nullptr && std::strcmp(choice, "none") == 0) return {};
    if (choice != nullptr && std::strcmp(choice, "any") == 0) {
        return {ocl::kDeviceTypeGpu, ocl::kDeviceTypeAccelerator, ocl::kDeviceTypeAll};
    }
    return {ocl::kDeviceTypeGpu, ocl::kDeviceTypeAccelerator};
}

ocl::DeviceId pickDevice(const ocl::Api& api) {
    const std::vector<ocl::DeviceType> preference = devicePreference();
    if (preference.empty()) return nullptr;
    const std::vector<ocl::PlatformId> all = platforms(api);
    for (ocl::DeviceType type : preference) {
        for (ocl::PlatformId platform : all) {
            ocl::Uint count = 0;
            if (api.getDeviceIDs(platform, type, 0, nullptr, &count) != ocl::kSuccess || count == 0) {
                continue;
            }
            std::vector<ocl::DeviceId> devices(count);
            if (api.getDeviceIDs(platform, type, count, devices.data(), &count) != ocl::kSuccess) {
                continue;
            }
            for (ocl::Uint i = 0; i < count && i < devices.size(); ++i) {
                if (deviceUsable(api, devices[i])) return devices[i];
            }
        }
    }
    return nullptr;
}

std::string buildLog(const ocl::Api& api, ocl::Program program, ocl::DeviceId device) {
    size_t size = 0;
    if (api.getProgramBuildInfo(program, device, ocl::kProgramBuildLog, 0, nullptr, &size) !=
            ocl::kSuccess ||
        size == 0) {
        return "(no build log)";
    }
    std::string log(size, '\0');
    if (api.getProgramBuildInfo(program, device, ocl::kProgramBuildLog, size, &log[0], nullptr) !=
        ocl::kSuccess) {
        return "(no build log)";
    }
    while (!log.empty() && (log.back() == '\0' || log.back() == '\n')) log.pop_back();
    return log;
}

void initialise(OpenClRuntime& runtime) {
    if (!ocl::loadApi(runtime.api)) return;
    const ocl::Api& api = runtime.api;
    runtime.state = OpenClState::kNoDevice;
    ocl::DeviceId device = pickDevice(api);
    if (device == nullptr) return;
    size_t maxGroup = 0;
    if (api.getDeviceInfo(device, ocl::kDeviceMaxWorkGroupSize, sizeof(maxGroup), &maxGroup, nullptr) !=
        ocl::kSuccess) {
        maxGroup = 0;
    }

    ocl::Int status = ocl::kSuccess;
    ocl::Context context = api.createContext(nullptr, 1, &device, nullptr, nullptr, &status);
    if (context == nullptr || status != ocl::kSuccess) {
        runtime.state = OpenClState::kNoContext;
        if (context != nullptr) api.releaseContext(context);
        return;
    }
    runtime.state = OpenClState::kCompileFailed;

    std::string log;
    ocl::Program program = buildPixelSortProgram(api, context, device, log);
    if (program == nullptr) {
        std::fprintf(stderr, "Varnok OpenCL compile failed: %s\n", log.c_str());
        api.releaseContext(context);
        return;
    }
    runtime.device = device;
    runtime.context = context;
    runtime.program = program;
    runtime.maxWorkGroupSize = maxGroup;
    runtime.state = OpenClState::kReady;
}

}  // namespace

ocl::Program buildPixelSortProgram(const ocl::Api& api, ocl::Context context, ocl::DeviceId device,
                                   std::string& log) {
    const char* sources[] = {kPrelude, kPixelSortKernelSource};
    ocl::Int status = ocl::kSuccess;
    ocl::Program program = api.createProgramWithSource(context, 2, sources, nullptr, &status);
    if (program == nullptr || status != ocl::kSuccess) {
        log = "error " + std::to_string(status);
        if (program != nullptr) api.releaseProgram(program);
        return nullptr;
    }
    status = api.buildProgram(program, 1, &device, nullptr, nullptr, nullptr);
    if (status != ocl::kSuccess) {
        log = buildLog(api, program, device);
        api.releaseProgram(program);
        return nullptr;
    }
    return program;
}

const OpenClRuntime& openClRuntime() {
    // Never torn down: nothing runs at unload or exit (the destructor is
    // trivial), so no driver call happens after the driver may be gone, and
    // the driver reclaims its objects with the process. Static storage rather
    // than the heap: a bundle unloaded and loaded again leaves nothing behind.
    static_assert(std::is_trivially_destructible<OpenClRuntime>::value, "kept without teardown");
    static OpenClRuntime runtime;
    static std::once_flag once;
    std::call_once(once, [] { initialise(runtime); });
    return runtime;
}

}  // namespace ormel
