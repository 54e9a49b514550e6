#include "treatments/lens_distortion.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "tests/treatments/test_images.h"

namespace ormel {
namespace {

using testing::allFinite;
using testing::patternImage;
using testing::quietSettings;
using testing::sameImage;

Settings lens(float distortion, float fisheye) {
    Settings s = quietSettings();
    s.lensDistortion = distortion;
    s.fisheye = fisheye;
    return s;
}

// Red holds the column, green the row, so a sample shows where it was read.
Image coordinateImage(int32_t width, int32_t height) {
    Image image(width, height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) image.at(x, y) = Pixel{static_cast<float>(x), static_cast<float>(y), 0.0f, 1.0f};
    }
    return image;
}

TEST(LensDistortion, ThresholdsOnEitherAmount) {
    const Image original = patternImage(21, 15);
    Image image = original;
    applyLensDistortion(image, lens(0.0005f, 0.0f));
    EXPECT_TRUE(sameImage(image, original));
    image = original;
    applyLensDistortion(image, lens(0.0f, -0.5f));  // negative fisheye is not an amount
    EXPECT_TRUE(sameImage(image, original));
    image = original;
    applyLensDistortion(image, lens(std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::quiet_NaN()));
    EXPECT_TRUE(sameImage(image, original));
    image = original;
    applyLensDistortion(image, lens(-0.0015f, 0.0f));
    EXPECT_FALSE(sameImage(image, original));
    image = original;
    applyLensDistortion(image, lens(0.0f, 0.0015f));
    EXPECT_FALSE(sameImage(image, original));
}

TEST(LensDistortion, BarrelReadsOutwardPincushionInward) {
    // 41 x 21: centre (20, 10). At the right-middle pixel nx = 1, ny = 0, r2 = 1.
    Image barrel = coordinateImage(41, 21);
    applyLensDistortion(barrel, lens(0.4f, 0.0f));
    EXPECT_FLOAT_EQ(barrel.at(20, 10).r, 20.0f);  // the centre never moves
    EXPECT_FLOAT_EQ(barrel.at(20, 10).g, 10.0f);
    // x = 30: nx = 0.5, f = 1 + 0.75 * 0.4 * 0.25 = 1.075, X = 20 + 1.075 * 10 = 30.75.
    EXPECT_NEAR(barrel.at(30, 10).r, 30.75f, 1e-4f);
    EXPECT_FLOAT_EQ(barrel.at(40, 10).r, 40.0f);  // clamped to the last column

    Image pincushion = coordinateImage(41, 21);
    applyLensDistortion(pincushion, lens(-0.4f, 0.0f));
    EXPECT_NEAR(pincushion.at(30, 10).r, 20.0f + 0.925f * 10.0f, 1e-4f);
    // Each axis is normalised on its own: the corner has r2 = 2.
    EXPECT_NEAR(pincushion.at(0, 0).r, 20.0f - (1.0f - 0.75f * 0.4f * 2.0f) * 20.0f, 1e-4f);
    EXPECT_NEAR(pincushion.at(0, 0).g, 10.0f - (1.0f - 0.75f * 0.4f * 2.0f) * 10.0f, 1e-4f);

    Image fisheye = coordinateImage(41, 21);
    applyLensDistortion(fisheye, lens(0.0f, 0.2f));
    // x = 30: r4 = 0.0625, f = 1 + 1.15 * 0.2 * 0.0625.
    EXPECT_NEAR(fisheye.at(30, 10).r, 20.0f + (1.0f + 1.15f * 0.2f * 0.0625f) * 10.0f, 1e-4f);
}

TEST(LensDistortion, SingleRowsAndPixelsStayPut) {
    Image single(1, 1, Pixel{0.1f, 0.2f, 0.3f, 0.4f});
    const Image before = single;
    applyLensDistortion(single, lens(1.0f, 1.0f));
    EXPECT_TRUE(sameImage(single, before));

    // One row: cy = 0, so every pixel reads its own row.
    Image row = coordinateImage(11, 1);
    applyLensDistortion(row, lens(0.5f, 0.0f));
    for (int32_t x = 0; x < 11; ++x) EXPECT_EQ(row.at(x, 0).g, 0.0f);
    EXPECT_FLOAT_EQ(row.at(5, 0).r, 5.0f);
}

TEST(LensDistortion, HostileAmountsStayDefined) {
    const float inf = std::numeric_limits<float>::infinity();
    for (auto [d, f] : {std::pair{inf, 0.0f}, std::pair{-inf, inf}, std::pair{3e38f, 3e38f}, std::pair{-1e30f, 0.0f}}) {
        Image image = coordinateImage(15, 9);
        applyLensDistortion(image, lens(d, f));
        EXPECT_TRUE(allFinite(image)) << d << " " << f;
        EXPECT_FLOAT_EQ(image.at(7, 4).r, 7.0f);  // the centre reads itself
    }
}

}  // namespace
}  // namespace ormel
