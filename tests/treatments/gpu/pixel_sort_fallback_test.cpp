// Without a usable OpenCL runtime the hand-off declines and leaves the image
// alone. CTest runs this program with VARNOK_OPENCL_LIBRARY pointing at a
// missing file and at a library that is not OpenCL, and with
// VARNOK_OPENCL_DEVICE "none" against the installed runtime.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "tests/treatments/gpu/test_pictures.h"
#include "treatments/gpu/opencl_api.h"
#include "treatments/gpu/opencl_runtime.h"
#include "treatments/gpu/pixel_sort_gpu.h"
#include "treatments/gpu/pixel_sort_metal.h"
#include "treatments/gpu/pixel_sort_opencl.h"

namespace ormel {
namespace {

// Run by hand without the variable, the program breaks the runtime itself,
// before anything has loaded it.
void useBrokenRuntime() {
    const char* path = std::getenv("VARNOK_OPENCL_LIBRARY");
    const char* device = std::getenv("VARNOK_OPENCL_DEVICE");
    const bool broken = (path != nullptr && path[0] != '\0') || (device != nullptr && std::strcmp(device, "none") == 0);
    if (!broken) {
#if defined(_WIN32)
        _putenv_s("VARNOK_OPENCL_LIBRARY", "no-such-dir\\OpenCL.dll");
#else
        setenv("VARNOK_OPENCL_LIBRARY", "/no-such-dir/libOpenCL.so.1", 1);
#endif
    }
}

TEST(PixelSortGpuFallback, TheOverrideNamesTheLibraryLoaded) {
    useBrokenRuntime();
    const char* path = std::getenv("VARNOK_OPENCL_LIBRARY");
#if defined(_WIN32)
    const char* const defaultName = "OpenCL.dll";
#else
    const char* const defaultName = "libOpenCL.so.1";
#endif
    EXPECT_STREQ(ocl::openClLibraryPath(), path != nullptr ? path : defaultName);
}

TEST(PixelSortGpuFallback, DeclinesAndLeavesTheImageUntouched) {
    useBrokenRuntime();
    const Image input = testing_gpu::variedPicture(64, 40);
    const Settings settings = testing_gpu::rougeSettings();
    Image image = input;
    EXPECT_FALSE(applyPixelSortGpu(image, settings));
    EXPECT_TRUE(testing_gpu::sameBits(image, input));
    EXPECT_FALSE(applyPixelSortOpenCl(image, settings));
    EXPECT_TRUE(testing_gpu::sameBits(image, input));
    EXPECT_NE(openClRuntime().state, OpenClState::kReady);
    // And again: a failed load is final, not retried on every frame.
    EXPECT_FALSE(applyPixelSortGpu(image, settings));
    EXPECT_TRUE(testing_gpu::sameBits(image, input));
}

TEST(PixelSortGpuFallback, MetalDeclinesWhereItIsNotBuilt) {
    Image image = testing_gpu::variedPicture(16, 16);
    const Image input = image;
    EXPECT_FALSE(applyPixelSortMetal(image, testing_gpu::rougeSettings()));
    EXPECT_TRUE(testing_gpu::sameBits(image, input));
}

}  // namespace
}  // namespace ormel
