// The rules of the GPU kernels, checked on their C++ build.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "overlay/hash.h"
#include "tests/treatments/gpu/test_pictures.h"
#include "treatments/gpu/pixel_sort_kernels_cpp.h"
#include "treatments/gpu/pixel_sort_params.h"
#include "treatments/gpu/pixel_sort_reference.h"

namespace ormel {
namespace {

using testing_gpu::sameBits;
using testing_gpu::variedPicture;

Image sortPass(const Image& image, const Settings& settings) {
    return runPixelSortPassReference(image, makePixelSortParams(image, settings));
}

Image postPass(const Image& image, const Settings& settings) {
    return runPixelSortPostPassReference(image, makePixelSortParams(image, settings));
}

// mix(o, c, 1) is o + (c - o): the colour c to within a rounding step.
bool nearPixel(const Pixel& a, const Pixel& b) {
    return std::fabs(a.r - b.r) <= 1e-6f && std::fabs(a.g - b.g) <= 1e-6f && std::fabs(a.b - b.b) <= 1e-6f &&
           a.a == b.a;
}

float lum(const Pixel& p) { return 0.2126f * p.r + 0.7152f * p.g + 0.0722f * p.b; }

// A single row of fully opaque pixels whose luminances are all different.
Image distinctRow(int32_t width, int32_t salt) {
    Image row(width, 1);
    for (int32_t x = 0; x < width; ++x) {
        const float n = hash01(x, salt, 3, 5);
        row.at(x, 0) = {n, 0.5f * n + 0.1f, hash01(x, salt, 4, 5), 1.0f};
    }
    return row;
}

TEST(GpuKernelHash, MatchesTheEffectHashOnBitPatterns) {
    const int32_t values[] = {0, 1, -1, 7, 1337, -1337, 2147483647, -2147483647 - 1, 65536};
    for (int32_t p : values) {
        for (int32_t q : values) {
            for (int32_t r : values) {
                const int32_t s = seedPlus(p ^ q, 1709);
                const float gpu = gpu_kernels::vkNoise01(static_cast<uint32_t>(p), static_cast<uint32_t>(q),
                                                         static_cast<uint32_t>(r), static_cast<uint32_t>(s));
                ASSERT_EQ(gpu, hash01(p, q, r, s)) << p << " " << q << " " << r;
            }
        }
    }
}

TEST(GpuSortPass, InactivePixelsAndTinyAmountsPassThrough) {
    const Image image = variedPicture(64, 48);
    for (int32_t scope : {0, 1}) {
        Settings settings = testing_gpu::rougeSettings();
        settings.pixelSortScope = static_cast<ormel::SortScope>(scope);
        settings.pixelSortThreshold = 0.45f;
        const Image out = sortPass(image, settings);
        int changed = 0;
        for (size_t i = 0; i < image.pixels.size(); ++i) {
            const Pixel& p = image.pixels[i];
            const float signal = scope == 0 ? p.a : lum(p);
            if (signal <= 0.45f) {
                ASSERT_TRUE(sameBits(p, out.pixels[i])) << "scope " << scope << " pixel " << i;
            } else if (!sameBits(p, out.pixels[i])) {
                ++changed;
            }
        }
        EXPECT_GT(changed, 100) << "scope " << scope;
    }

    Settings faint = testing_gpu::rougeSettings();
    faint.pixelSortAmount = 0.001f;
    EXPECT_TRUE(sameBits(sortPass(image, faint), image));
}

TEST(GpuSortPass, EachAxisReadsOnlyItsOwnLine) {
    const Image image = variedPicture(48, 40);
    Image others = image;
    for (int32_t y = 0; y < others.height; ++y) {
        for (int32_t x = 0; x < others.width; ++x) {
            if (y != 10 && x != 7) others.at(x, y) = {hash01(x, y, 1, 2), hash01(x, y, 2, 2), 0.3f, 1.0f};
        }
    }
    Settings settings = testing_gpu::rougeSettings();
    settings.pixelSortScope = ormel::SortScope::WholePicture;
    settings.pixelSortThreshold = 0.1f;

    settings.pixelSortDirection = ormel::SortDirection::Horizontal;
    Image a = sortPass(image, settings);
    Image b = sortPass(others, settings);
    for (int32_t x = 0; x < image.width; ++x) {
        ASSERT_TRUE(sameBits(a.at(x, 10), b.at(x, 10))) << "row pixel " << x;
    }

    settings.pixelSortDirection = ormel::SortDirection::Vertical;
    a = sortPass(image, settings);
    b = sortPass(others, settings);
    for (int32_t y = 0; y < image.height; ++y) {
        ASSERT_TRUE(sameBits(a.at(7, y), b.at(7, y))) << "column pixel " << y;
    }

    // Mixed picks the axis per pixel, so some pixels of the row do look at
    // the columns that were changed.
    settings.pixelSortDirection = ormel::SortDirection::Mixed;
    a = sortPass(image, settings);
    b = sortPass(others, settings);
    int differ = 0;
    for (int32_t x = 0; x < image.width; ++x) differ += sameBits(a.at(x, 10), b.at(x, 10)) ? 0 : 1;
    EXPECT_GT(differ, 0);
}

TEST(GpuSortPass, LoneActivePixelTakesItsTintWhateverTheAmount) {
    Image image(40, 3, Pixel{0.3f, 0.3f, 0.3f, 0.0f});
    const Pixel lone{0.2f, 0.5f, 0.1f, 0.9f};
    image.at(17, 1) = lone;
    Settings settings;
    settings.pixelSortScope = ormel::SortScope::OverlayOnly;
    settings.pixelSortAmount = 0.3f;
    settings.pixelSortColorMix = 0.6f;
    settings.pixelSortColor = {1.0f, 0.05f, 0.02f, 1.0f};
    settings.pixelSortThreshold = 0.04f;

    const double l = 0.2126 * lone.r + 0.7152 * lone.g + 0.0722 * lone.b;
    const double brightness = std::max(1.65 * l, 0.5);
    const double expected[3] = {lone.r + (1.0 * brightness - lone.r) * 0.6,
                                lone.g + (0.05 * brightness - lone.g) * 0.6,
                                lone.b + (0.02 * brightness - lone.b) * 0.6};
    for (int32_t direction : {0, 1, 2}) {
        for (bool randomize : {false, true}) {
            settings.pixelSortDirection = static_cast<ormel::SortDirection>(direction);
            settings.pixelSortRandomize = randomize;
            const Image out = sortPass(image, settings);
            const Pixel& p = out.at(17, 1);
            EXPECT_NEAR(p.r, expected[0], 1e-6);
            EXPECT_NEAR(p.g, expected[1], 1e-6);
            EXPECT_NEAR(p.b, expected[2], 1e-6);
            EXPECT_EQ(p.a, lone.a);
            for (size_t i = 0; i < image.pixels.size(); ++i) {
                if (i != 17 + 40) {
                    ASSERT_TRUE(sameBits(out.pixels[i], image.pixels[i]));
                }
            }
        }
    }
}

TEST(GpuSortPass, BlockShowsARampFromItsDarkestToItsBrightestPixel) {
    const Image row = distinctRow(32, 11);
    Settings settings;
    settings.pixelSortScope = ormel::SortScope::WholePicture;
    settings.pixelSortThreshold = 0.0f;
    settings.pixelSortRandomize = false;
    settings.pixelSortAmount = 1.0f;
    settings.pixelSortColorMix = 0.0f;
    settings.pixelSortLength = 64;  // one block holds the whole row
    settings.pixelSortDirection = ormel::SortDirection::Horizontal;

    int descendingSeen = 0;
    for (int32_t frame = 0; frame < 6; ++frame) {
        settings.frameNumber = frame;
        const Image out = sortPass(row, settings);
        size_t darkest = 0;
        size_t brightest = 0;
        for (size_t i = 1; i < row.pixels.size(); ++i) {
            if (lum(row.pixels[i]) < lum(row.pixels[darkest])) darkest = i;
            if (lum(row.pixels[i]) > lum(row.pixels[brightest])) brightest = i;
        }
        const bool descending = gpu_kernels::vkNoise01(0, 0, static_cast<uint32_t>(frame),
                                                       static_cast<uint32_t>(settings.seed) + 1729u) > 0.5f;
        descendingSeen += descending ? 1 : 0;
        EXPECT_TRUE(nearPixel(out.pixels.front(), row.pixels[descending ? brightest : darkest]));
        EXPECT_TRUE(nearPixel(out.pixels.back(), row.pixels[descending ? darkest : brightest]));
        // Every output is one of the block's own pixels, in ramp order.
        for (size_t i = 0; i < out.pixels.size(); ++i) {
            bool found = false;
            for (const Pixel& p : row.pixels) found = found || nearPixel(p, out.pixels[i]);
            ASSERT_TRUE(found) << "pixel " << i;
            if (i > 0) {
                const float before = lum(out.pixels[i - 1]);
                const float now = lum(out.pixels[i]);
                EXPECT_TRUE(descending ? now <= before + 1e-6f : now >= before - 1e-6f) << "pixel " << i;
            }
        }
    }
    EXPECT_GT(descendingSeen, 0);
    EXPECT_LT(descendingSeen, 6);
}

// Which output positions change when one input pixel of a long row changes.
std::pair<int32_t, int32_t> reachOfChange(const Settings& settings, int32_t width, int32_t at) {
    const Image row = distinctRow(width, 23);
    Image changed = row;
    changed.at(at, 0) = {0.97f, 0.95f, 0.9f, 1.0f};
    const Image a = sortPass(row, settings);
    const Image b = sortPass(changed, settings);
    int32_t first = width;
    int32_t last = -1;
    for (int32_t x = 0; x < width; ++x) {
        if (x != at && !sameBits(a.at(x, 0), b.at(x, 0))) {
            first = std::min(first, x);
            last = std::max(last, x);
        }
    }
    return {first, last};
}

TEST(GpuSortPass, BlocksAreCappedAt160Pixels) {
    Settings settings;
    settings.pixelSortScope = ormel::SortScope::WholePicture;
    settings.pixelSortThreshold = 0.0f;
    settings.pixelSortAmount = 1.0f;
    settings.pixelSortDirection = ormel::SortDirection::Horizontal;
    settings.pixelSortRandomize = false;
    settings.pixelSortLength = 400;
    const auto fixed = reachOfChange(settings, 600, 200);
    EXPECT_GE(fixed.first, 160);
    EXPECT_LT(fixed.second, 320);
    EXPECT_LE(fixed.first, fixed.second) << "the change must show inside its block";

    settings.pixelSortRandomize = true;
    settings.pixelSortLength = 10000;
    for (int32_t frame = 0; frame < 8; ++frame) {
        settings.frameNumber = frame;
        const auto reach = reachOfChange(settings, 700, 350);
        if (reach.second < 0) continue;
        EXPECT_GT(reach.first, 350 - 160) << "frame " << frame;
        EXPECT_LT(reach.second, 350 + 160) << "frame " << frame;
    }
}

TEST(GpuPostPass, CopiesWhenNeitherBlurNorGlowReachesOnePixel) {
    const Image image = variedPicture(30, 20);
    Settings settings;
    for (float blur : {0.0f, 0.04f}) {
        for (float glow : {0.0f, 0.02f}) {
            settings.pixelSortBlur = blur;
            settings.pixelSortGlow = glow;
            EXPECT_TRUE(sameBits(postPass(image, settings), image)) << blur << " " << glow;
        }
    }
}

TEST(GpuPostPass, SparseBlurClampsItsTapsToTheImage) {
    Image image(3, 1);
    image.at(0, 0) = {0.9f, 0.0f, 0.0f, 1.0f};
    image.at(1, 0) = {0.0f, 0.9f, 0.0f, 0.5f};
    image.at(2, 0) = {0.0f, 0.0f, 0.9f, 0.0f};
    Settings settings;
    settings.pixelSortBlur = 0.1f;  // radius 1
    settings.pixelSortGlow = 0.0f;
    const Image out = postPass(image, settings);
    // Left edge: six taps land on itself, three on its right neighbour.
    const Pixel& left = out.at(0, 0);
    EXPECT_NEAR(left.r, 0.9 + ((6 * 0.9) / 9.0 - 0.9) * 0.1, 1e-6);
    EXPECT_NEAR(left.g, ((3 * 0.9) / 9.0) * 0.1, 1e-6);
    EXPECT_NEAR(left.a, 1.0 + ((6 + 3 * 0.5) / 9.0 - 1.0) * 0.1, 1e-6);
    // Middle: three taps each on left, itself and right.
    const Pixel& middle = out.at(1, 0);
    EXPECT_NEAR(middle.r, 0.3 * 0.1, 1e-6);
    EXPECT_NEAR(middle.g, 0.9 + (0.3 - 0.9) * 0.1, 1e-6);
    EXPECT_NEAR(middle.b, 0.3 * 0.1, 1e-6);
}

TEST(GpuPostPass, GlowAddsTheTintByTheSignalOfTheBlur) {
    const Image image(9, 9, Pixel{0.5f, 0.5f, 0.5f, 0.6f});
    Settings settings;
    settings.pixelSortScope = ormel::SortScope::WholePicture;
    settings.pixelSortBlur = 0.3f;
    settings.pixelSortGlow = 0.5f;
    settings.pixelSortColor = {1.0f, 0.25f, 0.0f, 1.0f};
    const Image out = postPass(image, settings);
    const double k = std::min(1.0, 1.8 * 0.5);
    for (const Pixel& p : out.pixels) {
        EXPECT_NEAR(p.r, std::min(1.0, 0.5 + 1.0 * k * 0.5 * 0.65), 1e-5);
        EXPECT_NEAR(p.g, 0.5 + 0.25 * k * 0.5 * 0.65, 1e-5);
        EXPECT_NEAR(p.b, 0.5, 1e-6);
        EXPECT_NEAR(p.a, std::max(0.6, k * 0.5), 1e-6);
    }
}

TEST(GpuPostPass, HugeGlowAndBrokenPixelsStayInRange) {
    Image image = variedPicture(24, 16);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    image.at(3, 3) = {nan, 0.5f, inf, nan};
    image.at(10, 5) = {-inf, inf, -1e30f, 2.0f};

    Settings settings = testing_gpu::rougeSettings();
    for (float glow : {1e30f, inf, nan, -5.0f}) {
        settings.pixelSortGlow = glow;
        settings.pixelSortBlur = nan;
        const Image out = runPixelSortKernelsReference(image, makePixelSortParams(image, settings));
        ASSERT_EQ(out.pixels.size(), image.pixels.size());
        if (glow > 0.001f) {
            for (const Pixel& p : out.pixels) {
                ASSERT_TRUE(p.r >= 0.0f && p.r <= 1.0f && p.g >= 0.0f && p.g <= 1.0f && p.b >= 0.0f &&
                            p.b <= 1.0f && p.a >= 0.0f && p.a <= 1.0f)
                    << glow;
            }
        }
    }

    // Radii past the image's size all reach the edges: the blur is the same.
    settings.pixelSortGlow = 100.0f;
    settings.pixelSortBlur = 0.5f;
    settings.pixelSortColor = {0.0f, 0.0f, 0.0f, 1.0f};
    const Image image2 = variedPicture(24, 16);
    const Image wide = postPass(image2, settings);
    settings.pixelSortGlow = 1e9f;
    const Image wider = postPass(image2, settings);
    for (size_t i = 0; i < wide.pixels.size(); ++i) {
        ASSERT_EQ(wide.pixels[i].r, wider.pixels[i].r);
        ASSERT_EQ(wide.pixels[i].g, wider.pixels[i].g);
        ASSERT_EQ(wide.pixels[i].b, wider.pixels[i].b);
    }
}

}  // namespace
}  // namespace ormel
