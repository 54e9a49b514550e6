#include "treatments/chromatic_aberration.h"

#include <limits>

#include <gtest/gtest.h>

#include "tests/treatments/test_images.h"

namespace ormel {
namespace {

using testing::patternImage;
using testing::quietSettings;
using testing::sameImage;

// Every channel carries the column index (alpha a tenth of it) to reveal offsets.
Image columnRamp(int32_t width) {
    Image image(width, 2);
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const float v = static_cast<float>(x);
            image.at(x, y) = Pixel{v, v, v, v / 10.0f};
        }
    }
    return image;
}

int32_t clampColumn(int32_t x, int32_t width) { return x < 0 ? 0 : (x >= width ? width - 1 : x); }

void expectOffset(float amount, int32_t d) {
    Settings s = quietSettings();
    s.chromaticAberration = amount;
    Image image = columnRamp(20);
    applyChromaticAberration(image, s);
    for (int32_t x = 0; x < 20; ++x) {
        EXPECT_EQ(image.at(x, 1).r, static_cast<float>(clampColumn(x + d, 20))) << amount << " x " << x;
        EXPECT_EQ(image.at(x, 1).b, static_cast<float>(clampColumn(x - d, 20))) << amount << " x " << x;
        EXPECT_EQ(image.at(x, 1).g, static_cast<float>(x));
        EXPECT_EQ(image.at(x, 1).a, static_cast<float>(x) / 10.0f);
    }
}

TEST(ChromaticAberration, OffsetIsRoundedAndAtLeastOnePixel) {
    expectOffset(0.3f, 1);
    expectOffset(1.49f, 1);
    expectOffset(2.5f, 3);  // halves away from zero
    expectOffset(7.0f, 7);
}

TEST(ChromaticAberration, ThresholdAndNaNSkip) {
    const Image original = patternImage(10, 4);
    for (float amount : {0.01f, 0.0f, -5.0f, std::numeric_limits<float>::quiet_NaN()}) {
        Settings s = quietSettings();
        s.chromaticAberration = amount;
        Image image = original;
        applyChromaticAberration(image, s);
        EXPECT_TRUE(sameImage(image, original)) << amount;
    }
}

TEST(ChromaticAberration, OffsetsBeyondTheWidthReadTheEdgeColumns) {
    expectOffset(1e12f, 20);
    expectOffset(std::numeric_limits<float>::infinity(), 20);
    Settings s = quietSettings();
    s.chromaticAberration = 3e38f;
    Image image = columnRamp(20);
    applyChromaticAberration(image, s);
    EXPECT_EQ(image.at(0, 0).r, 19.0f);
    EXPECT_EQ(image.at(19, 0).b, 0.0f);
}

}  // namespace
}  // namespace ormel
