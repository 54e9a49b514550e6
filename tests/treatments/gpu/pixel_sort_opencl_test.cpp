// The OpenCL back end against the C++ build of the same kernels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "tests/treatments/gpu/test_pictures.h"
#include "treatments/gpu/opencl_runtime.h"
#include "treatments/gpu/pixel_sort_gpu.h"
#include "treatments/gpu/pixel_sort_opencl.h"
#include "treatments/gpu/pixel_sort_params.h"
#include "treatments/gpu/pixel_sort_reference.h"

namespace ormel {
namespace {

using testing_gpu::rougeSettings;
using testing_gpu::sameBits;
using testing_gpu::variedPicture;

// The runtime takes processor OpenCL devices only when asked; CI has only
// PoCL's. Set before the first call loads the runtime; an explicit choice in
// the environment wins.
const bool kAnyDevice = [] {
#if defined(_WIN32)
    if (std::getenv("VARNOK_OPENCL_DEVICE") == nullptr) _putenv_s("VARNOK_OPENCL_DEVICE", "any");
#else
    setenv("VARNOK_OPENCL_DEVICE", "any", 0);
#endif
    return true;
}();

// Skips only where no OpenCL exists at all; a runtime that is present but
// cannot build the kernels is a failure.
#define REQUIRE_OPENCL()                                                                    \
    do {                                                                                    \
        const OpenClState state = openClRuntime().state;                                    \
        if (state == OpenClState::kNoRuntime) GTEST_SKIP() << "no OpenCL runtime library";   \
        if (state == OpenClState::kNoDevice) GTEST_SKIP() << "no OpenCL platform or device"; \
        ASSERT_EQ(state, OpenClState::kReady) << "OpenCL present but unusable";              \
    } while (false)

// Channels equal to float rounding; NaN matches NaN.
bool close(float a, float b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    if (a == b) return true;
    return std::fabs(a - b) <= 1e-5f * std::max(1.0f, std::fabs(a));
}

int mismatches(const Image& a, const Image& b) {
    int count = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        const Pixel& p = a.pixels[i];
        const Pixel& q = b.pixels[i];
        if (!close(p.r, q.r) || !close(p.g, q.g) || !close(p.b, q.b) || !close(p.a, q.a)) ++count;
    }
    return count;
}

std::vector<Settings> variedSettings() {
    std::vector<Settings> all;
    for (int32_t direction : {0, 1, 2, 7}) {
        for (int32_t scope : {0, 1}) {
            for (bool randomize : {true, false}) {
                Settings s = rougeSettings();
                s.pixelSortDirection = static_cast<ormel::SortDirection>(direction);
                s.pixelSortScope = static_cast<ormel::SortScope>(scope);
                s.pixelSortRandomize = randomize;
                s.frameNumber = direction * 13 - 5;
                s.seed = 1337 + scope;
                all.push_back(s);
            }
        }
    }
    Settings longRuns = rougeSettings();
    longRuns.pixelSortLength = 400;
    longRuns.pixelSortThreshold = 0.0f;
    longRuns.pixelSortGlow = 0.0f;
    all.push_back(longRuns);
    return all;
}

TEST(PixelSortOpenCl, MatchesTheCppKernelsOnAVariedPicture) {
    REQUIRE_OPENCL();
    // Not a multiple of 16 in either direction: the grid is padded.
    const Image input = variedPicture(181, 77);
    for (const Settings& settings : variedSettings()) {
        Image gpu = input;
        ASSERT_TRUE(applyPixelSortOpenCl(gpu, settings));
        const Image cpu = runPixelSortKernelsReference(input, makePixelSortParams(input, settings));
        EXPECT_EQ(mismatches(gpu, cpu), 0) << "direction " << static_cast<int>(settings.pixelSortDirection)
                                           << " scope " << static_cast<int>(settings.pixelSortScope) << " randomize "
                                           << settings.pixelSortRandomize;
        EXPECT_FALSE(sameBits(gpu, input));
    }
}

TEST(PixelSortOpenCl, SurvivesBrokenPixelsAndWildSettings) {
    REQUIRE_OPENCL();
    Image input = variedPicture(40, 40);
    input.at(5, 5) = {std::nanf(""), 2.0f, -3.0f, std::nanf("")};
    input.at(6, 5) = {INFINITY, -INFINITY, 0.5f, 1.0f};
    Settings settings = rougeSettings();
    settings.pixelSortGlow = 1e30f;
    settings.pixelSortLength = -40;
    settings.pixelSortDirection = static_cast<ormel::SortDirection>(-1);
    settings.pixelSortScope = static_cast<ormel::SortScope>(-3);
    Image gpu = input;
    ASSERT_TRUE(applyPixelSortOpenCl(gpu, settings));
    const Image cpu = runPixelSortKernelsReference(input, makePixelSortParams(input, settings));
    EXPECT_EQ(mismatches(gpu, cpu), 0);
}

TEST(PixelSortOpenCl, RendersAreRepeatableAcrossCallsAndThreads) {
    REQUIRE_OPENCL();
    const Image input = variedPicture(96, 64);
    const Settings settings = rougeSettings();
    Image first = input;
    ASSERT_TRUE(applyPixelSortOpenCl(first, settings));

    std::vector<Image> results(3, input);
    std::vector<char> ok(results.size(), 0);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&, i] { ok[i] = applyPixelSortOpenCl(results[i], settings) ? 1 : 0; });
    }
    for (std::thread& t : threads) t.join();
    for (size_t i = 0; i < results.size(); ++i) {
        EXPECT_TRUE(ok[i]);
        EXPECT_TRUE(sameBits(results[i], first)) << "render " << i;
    }
}

TEST(PixelSortOpenCl, HandOffRunsOpenClWhereThereIsNoMetal) {
    REQUIRE_OPENCL();
    const Image input = variedPicture(50, 30);
    const Settings settings = rougeSettings();
    Image viaHandOff = input;
    ASSERT_TRUE(applyPixelSortGpu(viaHandOff, settings));
    Image direct = input;
    ASSERT_TRUE(applyPixelSortOpenCl(direct, settings));
    EXPECT_TRUE(sameBits(viaHandOff, direct));
}

TEST(PixelSortOpenCl, DeclinesImagesItCannotAddressAndLeavesThemAlone) {
    // No device needed: these are refused before OpenCL is touched.
    const Settings settings = rougeSettings();
    Image empty;
    EXPECT_FALSE(applyPixelSortOpenCl(empty, settings));
    EXPECT_FALSE(applyPixelSortGpu(empty, settings));
    Image lying = variedPicture(8, 8);
    lying.pixels.resize(40);
    const Image before = lying;
    EXPECT_FALSE(applyPixelSortOpenCl(lying, settings));
    EXPECT_FALSE(applyPixelSortGpu(lying, settings));
    EXPECT_TRUE(sameBits(lying, before));
}

}  // namespace
}  // namespace ormel
