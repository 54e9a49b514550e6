// The parameter block: its layout on both sides and how settings are clamped into it.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <limits>

#include "tests/treatments/gpu/test_pictures.h"
#include "treatments/gpu/pixel_sort_kernels_cpp.h"
#include "treatments/gpu/pixel_sort_params.h"
#include "treatments/gpu/pixel_sort_reference.h"

namespace ormel {
namespace {

// The kernels' view of the block must match the host's byte for byte.
using KernelParams = gpu_kernels::PixelSortParams;
static_assert(sizeof(KernelParams) == sizeof(Params), "same size");
static_assert(offsetof(KernelParams, length) == offsetof(Params, length), "length");
static_assert(offsetof(KernelParams, randomAmount) == offsetof(Params, randomAmount), "randomAmount");
static_assert(offsetof(KernelParams, colorR) == offsetof(Params, color), "color");
static_assert(offsetof(KernelParams, colorMix) == offsetof(Params, colorMix), "colorMix");
static_assert(offsetof(KernelParams, glow) == offsetof(Params, glow), "glow");

TEST(PixelSortParams, ClampsEverySettingIntoTheKernelsRange) {
    const Image image(33, 17);
    Settings s;
    s.pixelSortLength = 1;
    s.pixelSortAmount = -1.0f;
    s.pixelSortThreshold = std::numeric_limits<float>::quiet_NaN();
    s.pixelSortRandomAmount = 5.0f;
    s.pixelSortColorMix = 1.5f;
    s.pixelSortBlur = 3.0f;
    s.pixelSortGlow = -2.0f;
    s.pixelSortDirection = ormel::SortDirection::Vertical;
    s.pixelSortScope = static_cast<ormel::SortScope>(4);
    s.pixelSortRandomize = false;
    s.pixelSortColor = {0.25f, 0.5f, 0.75f, 1.0f};
    Params p = makePixelSortParams(image, s);
    EXPECT_EQ(p.width, 33u);
    EXPECT_EQ(p.height, 17u);
    EXPECT_EQ(p.length, 2u);
    EXPECT_EQ(p.amount, 0.0f);
    EXPECT_TRUE(p.threshold >= 0.0f && p.threshold <= 1.0f) << p.threshold;
    EXPECT_EQ(p.randomAmount, 1.0f);
    EXPECT_EQ(p.colorMix, 1.0f);
    EXPECT_EQ(p.blur, 1.0f);
    EXPECT_EQ(p.glow, 0.0f);
    EXPECT_EQ(p.direction, 1u);
    EXPECT_EQ(p.scope, 4u);
    EXPECT_EQ(p.randomize, 0u);
    EXPECT_EQ(p.color[1], 0.5f);
    EXPECT_EQ(p.pad0, 0u);
    EXPECT_EQ(p.pad1, 0u);

    s.pixelSortLength = 10000;
    s.pixelSortGlow = 1.15f;
    s.pixelSortRandomize = true;
    p = makePixelSortParams(image, s);
    EXPECT_EQ(p.length, 512u);
    EXPECT_EQ(p.glow, 1.15f);
    EXPECT_EQ(p.randomize, 1u);

    s.pixelSortLength = 72;
    s.pixelSortGlow = std::numeric_limits<float>::infinity();
    EXPECT_EQ(makePixelSortParams(image, s).length, 72u);
    EXPECT_EQ(makePixelSortParams(image, s).glow, FLT_MAX);
    s.pixelSortGlow = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(makePixelSortParams(image, s).glow, 0.0f);
}

TEST(PixelSortParams, NegativeFramesAndSeedsKeepTheirOwnStreaks) {
    Settings s;
    s.seed = -5;
    s.frameNumber = -1;
    const Image image = testing_gpu::variedPicture(40, 30);
    const Params p = makePixelSortParams(image, s);
    EXPECT_EQ(p.seed, 0xFFFFFFFBu);
    EXPECT_EQ(p.frame, 0xFFFFFFFFu);

    // Frames before zero still change from one to the next, and so do seeds.
    s = testing_gpu::rougeSettings();
    s.pixelSortScope = ormel::SortScope::WholePicture;
    auto render = [&](int32_t frame, int32_t seed) {
        Settings t = s;
        t.frameNumber = frame;
        t.seed = seed;
        return runPixelSortPassReference(image, makePixelSortParams(image, t));
    };
    EXPECT_FALSE(testing_gpu::sameBits(render(-1, 1337), render(-2, 1337)));
    EXPECT_FALSE(testing_gpu::sameBits(render(3, -1), render(3, -2)));
    EXPECT_TRUE(testing_gpu::sameBits(render(-7, -9), render(-7, -9)));
}

TEST(PixelSortParams, OnlyImagesTheKernelsCanAddressFit) {
    EXPECT_TRUE(fitsGpuKernels(Image(5, 4)));
    EXPECT_FALSE(fitsGpuKernels(Image()));
    EXPECT_FALSE(fitsGpuKernels(Image(0, 9)));
    EXPECT_FALSE(fitsGpuKernels(Image(-3, 9)));
    Image lying(5, 4);
    lying.pixels.pop_back();
    EXPECT_FALSE(fitsGpuKernels(lying));
    Image huge;
    huge.width = 70000;
    huge.height = 70000;  // more pixels than 32-bit indices reach
    EXPECT_FALSE(fitsGpuKernels(huge));

    // The reference hands such images back unchanged rather than reading past them.
    EXPECT_TRUE(testing_gpu::sameBits(runPixelSortKernelsReference(lying, Params{}), lying));
}

}  // namespace
}  // namespace ormel
