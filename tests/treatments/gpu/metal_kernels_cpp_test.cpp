// The Metal text of the kernels (the Metal prelude, then the shared kernel
// text) compiled as C++ through a stand-in <metal_stdlib>: a type or syntax
// error in what Metal would compile fails the build, and the Metal thread
// mapping must give the pixels of the C++ reference.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/treatments/gpu/test_pictures.h"
#include "treatments/gpu/pixel_sort_params.h"
#include "treatments/gpu/pixel_sort_reference.h"

#include <metal_stdlib>

namespace ormel {
namespace metal_text {
#include "treatments/gpu/pixel_sort_metal_prelude.inc"
#include "treatments/gpu/pixel_sort_kernels.inc"
}  // namespace metal_text
}  // namespace ormel

#undef device
#undef constant
#undef kernel
#undef buffer
#undef thread_position_in_grid

namespace ormel {
namespace {

using KernelFn = void (*)(const metal_text::SortPixel*, metal_text::SortPixel*, const metal_text::PixelSortParams*,
                          metal::uint2);

// One pass over the image's grid.
std::vector<metal_text::SortPixel> pass(KernelFn kernel, const std::vector<metal_text::SortPixel>& in,
                                        const metal_text::PixelSortParams& params) {
    std::vector<metal_text::SortPixel> out(in.size());
    for (uint32_t y = 0; y < params.height; ++y) {
        for (uint32_t x = 0; x < params.width; ++x) kernel(in.data(), out.data(), &params, metal::uint2{x, y});
    }
    return out;
}

TEST(MetalKernelText, CompilesAsCppAndGivesTheReferencePixels) {
    static_assert(sizeof(metal_text::PixelSortParams) == sizeof(Params), "one parameter block");
    const Image input = testing_gpu::variedPicture(45, 19);
    for (int direction = 0; direction < 3; ++direction) {
        Settings settings = testing_gpu::rougeSettings();
        settings.pixelSortDirection = static_cast<SortDirection>(direction);
        const Params params = makePixelSortParams(input, settings);
        metal_text::PixelSortParams block;
        std::memcpy(&block, &params, sizeof(block));
        std::vector<metal_text::SortPixel> pixels(input.pixels.size());
        std::memcpy(pixels.data(), input.pixels.data(), pixels.size() * sizeof(Pixel));
        pixels = pass(&metal_text::pixelSortPostKernel, pass(&metal_text::pixelSortKernel, pixels, block), block);
        Image metal(input.width, input.height);
        std::memcpy(static_cast<void*>(metal.pixels.data()), pixels.data(), pixels.size() * sizeof(Pixel));
        EXPECT_TRUE(testing_gpu::sameBits(metal, runPixelSortKernelsReference(input, params))) << direction;
    }
}

}  // namespace
}  // namespace ormel
