#include "treatments/gpu/pixel_sort_gpu.h"

#include "treatments/gpu/pixel_sort_metal.h"
#include "treatments/gpu/pixel_sort_opencl.h"

namespace ormel {

bool applyPixelSortGpu(Image& image, const Settings& settings) {
#if defined(__APPLE__)
    return applyPixelSortMetal(image, settings);
#else
    // No Metal here: the same kernels through OpenCL when a runtime exists.
    return applyPixelSortOpenCl(image, settings);
#endif
}

}  // namespace ormel
