#include "treatments/glitch_slices.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "overlay/hash.h"
#include "tests/treatments/test_images.h"

namespace ormel {
namespace {

using testing::allFinite;
using testing::patternImage;
using testing::quietSettings;
using testing::sameImage;

Settings glitch(float amount, int32_t seed, int32_t frame) {
    Settings s = quietSettings();
    s.glitchAmount = amount;
    s.seed = seed;
    s.frameNumber = frame;
    return s;
}

// Rows keep their column index in red, so a shifted row reveals its shift.
Image columnIndexImage(int32_t width, int32_t height) {
    Image image(width, height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) image.at(x, y) = Pixel{static_cast<float>(x), static_cast<float>(y), 0.0f, 1.0f};
    }
    return image;
}

TEST(GlitchSlices, ThresholdAndNaNSkip) {
    const Image original = patternImage(40, 30);
    for (float amount : {0.001f, 0.0f, -2.0f, std::numeric_limits<float>::quiet_NaN()}) {
        Image image = original;
        applyGlitchSlices(image, glitch(amount, 1337, 4));
        EXPECT_TRUE(sameImage(image, original)) << amount;
    }
}

TEST(GlitchSlices, WeakAmountMakesNoVisibleChange) {
    // 0.05: one attempt, maxShift 1, so every shift truncates to 0.
    const Image original = patternImage(64, 48);
    for (int32_t frame = 0; frame < 20; ++frame) {
        Image image = original;
        applyGlitchSlices(image, glitch(0.05f, 1337, frame));
        EXPECT_TRUE(sameImage(image, original)) << frame;
    }
}

TEST(GlitchSlices, SlicesReadThePictureFromBeforeTheFirstSlice) {
    // Each row of the result is either untouched or the original row shifted once by
    // one slice's offset; the last slice covering a row decides it.
    const int32_t width = 120, height = 40;
    const Image original = columnIndexImage(width, height);
    int shiftedRows = 0;
    for (int32_t frame = 0; frame < 12; ++frame) {
        Image image = original;
        applyGlitchSlices(image, glitch(1.0f, 2024, frame));

        std::vector<int32_t> expectedShift(height, 0);
        for (int32_t i = 0; i < 16; ++i) {
            const float r0 = hash01(i, frame, 0, 2024 + 811);
            if (r0 > 0.35f * 1.0f + 0.4f) continue;
            const int32_t top = static_cast<int32_t>(height * hash01(i, frame, 1, 2024 + 821));
            const int32_t rows = std::max(1, static_cast<int32_t>(18.0f * hash01(i, frame, 2, 2024 + 831) + 1.0f));
            const int32_t shift = static_cast<int32_t>((hash01(i, frame, 3, 2024 + 841) - 0.5f) * 2.0f * 34.0f);
            ASSERT_LE(std::abs(shift), 33);
            for (int32_t y = top; y < std::min(top + rows, height); ++y) expectedShift[y] = shift;
        }
        for (int32_t y = 0; y < height; ++y) {
            shiftedRows += expectedShift[y] != 0 ? 1 : 0;
            for (int32_t x = 0; x < width; ++x) {
                const float from = static_cast<float>(std::clamp(x + expectedShift[y], 0, width - 1));
                ASSERT_EQ(image.at(x, y).r, from) << "frame " << frame << " row " << y << " x " << x;
                ASSERT_EQ(image.at(x, y).g, static_cast<float>(y));
            }
        }
    }
    EXPECT_GT(shiftedRows, 0);
}

TEST(GlitchSlices, RepeatsPerFrameAndSeedAndChangesOtherwise) {
    const Image original = patternImage(96, 64);
    auto render = [&](int32_t seed, int32_t frame) {
        Image image = original;
        applyGlitchSlices(image, glitch(0.8f, seed, frame));
        return image;
    };
    EXPECT_TRUE(sameImage(render(7, 3), render(7, 3)));
    EXPECT_FALSE(sameImage(render(7, 3), render(7, 4)));
    EXPECT_FALSE(sameImage(render(7, 3), render(8, 3)));
}

TEST(GlitchSlices, HugeAmountsShiftToTheEdgesWithoutOverflow) {
    const float inf = std::numeric_limits<float>::infinity();
    for (float amount : {1e9f, 3e38f, inf}) {
        Image image = columnIndexImage(50, 30);
        applyGlitchSlices(image, glitch(amount, 1, 1));
        EXPECT_TRUE(allFinite(image)) << amount;
        for (const Pixel& p : image.pixels) EXPECT_TRUE(p.r >= 0.0f && p.r <= 49.0f);
    }
    Image tiny(1, 1, Pixel{0.3f, 0.3f, 0.3f, 1.0f});
    applyGlitchSlices(tiny, glitch(inf, 1, 1));
    EXPECT_EQ(tiny.at(0, 0).r, 0.3f);
}

}  // namespace
}  // namespace ormel
