// The process-wide OpenCL objects of the GPU pixel sort.
#pragma once

#include <cstddef>
#include <string>

#include "treatments/gpu/opencl_api.h"

namespace ormel {

// How far setting up OpenCL got; only kReady runs kernels.
enum class OpenClState {
    kNoRuntime,      // library or an entry point missing
    kNoDevice,       // no platform, or no usable device on any
    kNoContext,      // the device refused a context
    kCompileFailed,  // the kernels did not build (logged)
    kReady,
};

// Runtime entry points, the chosen device, its context and the compiled
// kernel program. Built once and kept until the process ends.
struct OpenClRuntime {
    ocl::Api api;
    ocl::DeviceId device = nullptr;
    ocl::Context context = nullptr;
    ocl::Program program = nullptr;
    size_t maxWorkGroupSize = 0;
    OpenClState state = OpenClState::kNoRuntime;
};

// The first call loads the runtime, picks a device (a GPU first, then an
// accelerator, then, only when $VARNOK_OPENCL_DEVICE is "any", a processor
// device; "none" picks nothing) and compiles the kernels; concurrent first
// calls wait for that one attempt. A failure is final for the process.
const OpenClRuntime& openClRuntime();

// Compiles the kernels for one device of the context: the program, or null
// with the compiler's message in `log`. The runtime calls it once; the
// benchmarks call it to measure that one-time cost.
ocl::Program buildPixelSortProgram(const ocl::Api& api, ocl::Context context, ocl::DeviceId device,
                                   std::string& log);

}  // namespace ormel
