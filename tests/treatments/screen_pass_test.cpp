#include "treatments/screen_pass.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "overlay/hash.h"
#include "tests/treatments/test_images.h"

namespace ormel {
namespace {

using testing::patternImage;
using testing::quietSettings;
using testing::sameImage;

TEST(ScreenPass, AlwaysClampsColourButNeverAlpha) {
    Image image(3, 2);
    image.at(0, 0) = Pixel{2.0f, -1.0f, 0.5f, 7.0f};
    image.at(1, 0) = Pixel{std::numeric_limits<float>::infinity(), -0.0f, 1.0f, -3.0f};
    image.at(2, 0) = Pixel{0.25f, 0.75f, 1e30f, std::numeric_limits<float>::quiet_NaN()};
    applyScreenPass(image, quietSettings());
    EXPECT_EQ(image.at(0, 0).r, 1.0f);
    EXPECT_EQ(image.at(0, 0).g, 0.0f);
    EXPECT_EQ(image.at(0, 0).b, 0.5f);
    EXPECT_EQ(image.at(0, 0).a, 7.0f);
    EXPECT_EQ(image.at(1, 0).r, 1.0f);
    EXPECT_EQ(image.at(1, 0).a, -3.0f);
    EXPECT_EQ(image.at(2, 0).r, 0.25f);
    EXPECT_EQ(image.at(2, 0).g, 0.75f);
    EXPECT_EQ(image.at(2, 0).b, 1.0f);
    EXPECT_TRUE(std::isnan(image.at(2, 0).a));

    // In-range pictures pass through bit for bit.
    const Image inRange = patternImage(16, 9);
    Image copy = inRange;
    applyScreenPass(copy, quietSettings());
    EXPECT_TRUE(sameImage(copy, inRange));
}

TEST(ScreenPass, ScanlinesDarkenOddRowsOnly) {
    Settings s = quietSettings();
    s.scanline = 1.0f;
    Image image(4, 6, Pixel{0.8f, 0.4f, 1.0f, 0.5f});
    applyScreenPass(image, s);
    for (int32_t y = 0; y < 6; ++y) {
        const float expected = (y % 2 == 1) ? 0.55f : 1.0f;
        EXPECT_FLOAT_EQ(image.at(2, y).r, 0.8f * expected) << y;
        EXPECT_FLOAT_EQ(image.at(2, y).b, 1.0f * expected) << y;
        EXPECT_EQ(image.at(2, y).a, 0.5f);
    }
    // Negative and NaN strengths count as off.
    for (float off : {-1.0f, std::numeric_limits<float>::quiet_NaN()}) {
        s.scanline = off;
        Image flat(4, 6, Pixel{0.8f, 0.4f, 1.0f, 0.5f});
        const Image before = flat;
        applyScreenPass(flat, s);
        EXPECT_TRUE(sameImage(flat, before)) << off;
    }
}

TEST(ScreenPass, VignetteReachesFullStrengthAtTheCorner) {
    Settings s = quietSettings();
    s.vignette = 0.6f;
    Image image(21, 11, Pixel{1.0f, 0.5f, 0.25f, 1.0f});
    applyScreenPass(image, s);
    EXPECT_FLOAT_EQ(image.at(10, 5).r, 1.0f);           // centre: d = 0
    EXPECT_NEAR(image.at(0, 0).r, 1.0f - 0.6f, 1e-6f);   // corner: d = 1, smoothstep 1
    EXPECT_NEAR(image.at(20, 10).g, 0.5f * 0.4f, 1e-6f);
    // Five columns right of the centre: d = 5 / sqrt(125) = 0.4472, smoothstep 0.42111.
    EXPECT_NEAR(image.at(15, 5).r, 0.747331f, 1e-5f);
    Image tiny(1, 1, Pixel{0.7f, 0.7f, 0.7f, 1.0f});
    applyScreenPass(tiny, s);
    EXPECT_FLOAT_EQ(tiny.at(0, 0).r, 0.7f);
}

TEST(ScreenPass, NoiseIsOneValuePerPixelSharedByChannels) {
    Settings s = quietSettings();
    s.noise = 0.2f;
    s.seed = 42;
    s.frameNumber = 9;
    Image image(8, 4, Pixel{0.5f, 0.5f, 0.5f, 1.0f});
    applyScreenPass(image, s);
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 8; ++x) {
            const float n = (hash01(x, y, 9, 42) - 0.5f) * 0.2f;
            EXPECT_FLOAT_EQ(image.at(x, y).r, 0.5f + n);
            EXPECT_EQ(image.at(x, y).r, image.at(x, y).g);
            EXPECT_EQ(image.at(x, y).g, image.at(x, y).b);
        }
    }
}

TEST(ScreenPass, FlickerGainPerRowFromFrameAndRowDraws) {
    Settings s = quietSettings();
    s.vhsFlicker = 1.0f;
    s.seed = 5;
    s.frameNumber = 77;
    Image image(3, 5, Pixel{0.5f, 0.25f, 0.75f, 1.0f});
    applyScreenPass(image, s);
    const float a = hash01(77, 0, 0, 5 + 911);
    for (int32_t y = 0; y < 5; ++y) {
        const float b = hash01(y, 77, 0, 5 + 921);
        const float flicker = 1.0f + 0.28f * (a - 0.5f) + 0.12f * (b - 0.5f);
        EXPECT_FLOAT_EQ(image.at(1, y).g, 0.25f * flicker) << y;
        EXPECT_EQ(image.at(0, y).g, image.at(2, y).g);
    }
}

TEST(ScreenPass, InversionMixesTowardTheNegative) {
    Settings s = quietSettings();
    s.invertAmount = 1.0f;
    Image image(2, 1, Pixel{0.2f, 0.9f, 1.5f, 0.3f});
    applyScreenPass(image, s);
    EXPECT_FLOAT_EQ(image.at(0, 0).r, 0.8f);
    EXPECT_NEAR(image.at(0, 0).g, 0.1f, 1e-6f);
    EXPECT_EQ(image.at(0, 0).b, 0.0f);  // clamped to 1 first
    EXPECT_EQ(image.at(0, 0).a, 0.3f);
    s.invertAmount = 0.5f;
    Image half(1, 1, Pixel{0.2f, 0.0f, 1.0f, 1.0f});
    applyScreenPass(half, s);
    EXPECT_FLOAT_EQ(half.at(0, 0).r, 0.5f);
    EXPECT_FLOAT_EQ(half.at(0, 0).b, 0.5f);
}

TEST(ScreenPass, NoiseAndFlickerRepeatPerFrameAndSeed) {
    auto render = [](int32_t seed, int32_t frame) {
        Settings s = quietSettings();
        s.noise = 0.3f;
        s.vhsFlicker = 0.7f;
        s.seed = seed;
        s.frameNumber = frame;
        Image image(32, 16, Pixel{0.5f, 0.5f, 0.5f, 1.0f});
        applyScreenPass(image, s);
        return image;
    };
    EXPECT_TRUE(sameImage(render(1, 100), render(1, 100)));
    EXPECT_FALSE(sameImage(render(1, 100), render(1, 101)));
    EXPECT_FALSE(sameImage(render(1, 100), render(2, 100)));
}

TEST(ScreenPass, HugeAmountsGiveClampedColours) {
    Settings s = quietSettings();
    const float inf = std::numeric_limits<float>::infinity();
    s.scanline = inf;
    s.vignette = 1e30f;
    s.noise = inf;
    s.vhsFlicker = -inf;
    s.invertAmount = inf;
    Image image = patternImage(12, 7);
    applyScreenPass(image, s);
    for (const Pixel& p : image.pixels) {
        EXPECT_TRUE(p.r >= 0.0f && p.r <= 1.0f);
        EXPECT_TRUE(p.g >= 0.0f && p.g <= 1.0f);
        EXPECT_EQ(p.a, 1.0f);
    }
}

}  // namespace
}  // namespace ormel
