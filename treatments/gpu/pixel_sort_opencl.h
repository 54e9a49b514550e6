// The GPU pixel sort through OpenCL, for systems without Metal.
#pragma once

#include "engine/types.h"
#include "treatments/gpu/opencl_runtime.h"

namespace ormel {

// Runs both kernels on the first usable OpenCL device. True: the image holds
// the finished effect (sort, blur and glow). False: no runtime, no device, a
// failed compile, launch or read-back; the image is untouched.
bool applyPixelSortOpenCl(Image& image, const Settings& settings);

// The same with a program the caller built for the runtime's device; the
// benchmark of a process's first render uses it.
bool applyPixelSortWithProgram(const OpenClRuntime& runtime, ocl::Program program, Image& image,
                               const Settings& settings);

}  // namespace ormel
