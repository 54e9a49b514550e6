#include "treatments/gpu/pixel_sort_reference.h"

#include <cstring>

#include "treatments/gpu/pixel_sort_kernels_cpp.h"

namespace ormel {

namespace {

static_assert(sizeof(gpu_kernels::SortPixel) == sizeof(Pixel), "pixels cross as raw bytes");
static_assert(sizeof(gpu_kernels::PixelSortParams) == sizeof(Params), "one parameter block");

using KernelFn = void (*)(const gpu_kernels::SortPixel*, gpu_kernels::SortPixel*,
                          const gpu_kernels::PixelSortParams*, uint32_t, uint32_t);

// The host block and the kernel block share their bytes; copying them keeps
// the two types apart without aliasing tricks.
gpu_kernels::PixelSortParams kernelParams(const Params& params) {
    gpu_kernels::PixelSortParams out;
    std::memcpy(&out, &params, sizeof(out));
    return out;
}

Image dispatch(const Image& input, const Params& params, KernelFn kernel) {
    if (!fitsGpuKernels(input)) return input;
    Params sized = params;
    sized.width = static_cast<uint32_t>(input.width);
    sized.height = static_cast<uint32_t>(input.height);
    const gpu_kernels::PixelSortParams block = kernelParams(sized);

    std::vector<gpu_kernels::SortPixel> in(input.pixels.size());
    std::memcpy(in.data(), input.pixels.data(), input.pixels.size() * sizeof(Pixel));
    std::vector<gpu_kernels::SortPixel> out(in.size());
    for (uint32_t y = 0; y < sized.height; ++y) {
        for (uint32_t x = 0; x < sized.width; ++x) {
            kernel(in.data(), out.data(), &block, x, y);
        }
    }
    Image result(input.width, input.height);
    std::memcpy(static_cast<void*>(result.pixels.data()), out.data(), out.size() * sizeof(Pixel));
    return result;
}

}  // namespace

Image runPixelSortPassReference(const Image& input, const Params& params) {
    return dispatch(input, params, &gpu_kernels::pixelSortKernel);
}

Image runPixelSortPostPassReference(const Image& input, const Params& params) {
    return dispatch(input, params, &gpu_kernels::pixelSortPostKernel);
}

Image runPixelSortKernelsReference(const Image& input, const Params& params) {
    return runPixelSortPostPassReference(runPixelSortPassReference(input, params), params);
}

}  // namespace ormel
