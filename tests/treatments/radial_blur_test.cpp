#include "treatments/radial_blur.h"

#include <algorithm>
#include <limits>
#include <utility>

#include <gtest/gtest.h>

#include "tests/treatments/test_images.h"
#include "treatments/bilinear.h"

namespace ormel {
namespace {

using testing::sameImage;

// Value at the last pixel of a row whose bright end starts at `firstBright`: its samples
// step toward the centre column, so the bright share reveals how many were taken.
float rightEndAfterBlur(int32_t width, int32_t firstBright, float amount) {
    Image row(width, 1);
    for (int32_t x = firstBright; x < width; ++x) row.at(x, 0).r = 1.0f;
    Settings s = testing::quietSettings();
    s.radialBlur = amount;
    applyRadialBlur(row, s);
    return row.at(width - 1, 0).r;
}

TEST(RadialBlur, SampleCountFollowsTheAmount) {
    // 1001 wide, dx = 500. 0.35: N = 6, samples 2.975 px apart, four past column 990.
    EXPECT_NEAR(rightEndAfterBlur(1001, 990, 0.35f), 4.0f / 6.0f, 1e-5f);
    // 0.95: N = 12, 3.67 px apart, three past 990.
    EXPECT_NEAR(rightEndAfterBlur(1001, 990, 0.95f), 3.0f / 12.0f, 1e-5f);
    // 0.0011: N = 3; dx = 50000 gives samples 2.34 px apart, two of three bright
    // (four samples would give 0.72).
    EXPECT_NEAR(rightEndAfterBlur(100001, 99997, 0.0011f), 2.0f / 3.0f, 1e-4f);
}

TEST(RadialBlur, EdgesCentreAndUniformAreasHold) {
    Image layer(41, 41, Pixel{0.0f, 0.0f, 0.0f, 0.0f});
    layer.at(20, 20) = Pixel{0.0f, 1.0f, 0.0f, 1.0f};
    layer.at(38, 20) = Pixel{1.0f, 1.0f, 1.0f, 1.0f};
    layer.at(40, 0) = Pixel{1.0f, 0.0f, 0.0f, 1.0f};
    Settings s = testing::quietSettings();
    s.radialBlur = 1.0f;
    applyRadialBlur(layer, s);
    EXPECT_EQ(layer.at(20, 20).g, 1.0f);  // the centre samples only itself
    EXPECT_LT(layer.at(38, 20).a, 1.0f);  // a lone pixel fades into a short inward streak
    EXPECT_GT(layer.at(39, 20).a, 0.0f);
    EXPECT_EQ(layer.at(36, 20).a, 0.0f);  // 8.5 % of 16 px does not reach it
    EXPECT_GT(layer.at(40, 0).r, 0.0f);   // the corner reads clamped positions
    EXPECT_LT(layer.at(40, 0).a, 1.0f);

    Image uniform(31, 20, Pixel{0.1f, 0.7f, 0.3f, 0.5f});
    applyRadialBlur(uniform, s);
    EXPECT_TRUE(sameImage(uniform, Image(31, 20, Pixel{0.1f, 0.7f, 0.3f, 0.5f})));
    Image single(1, 1, Pixel{0.3f, 0.6f, 0.9f, 0.2f});
    applyRadialBlur(single, s);
    EXPECT_TRUE(sameImage(single, Image(1, 1, Pixel{0.3f, 0.6f, 0.9f, 0.2f})));

    for (float huge : {1e30f, std::numeric_limits<float>::infinity()}) {
        Image image = testing::patternImage(23, 11);
        s.radialBlur = huge;
        applyRadialBlur(image, s);
        EXPECT_TRUE(testing::allFinite(image)) << huge;
    }
}

// The mean of bilinear samples along the line to the centre, pixel by pixel.
Image expectedBlur(const Image& before, float amount) {
    const int32_t samples = std::min(static_cast<int32_t>(10.0f * std::min(amount, 1.0f)), 9) + 3;
    const float strength = 0.085f * amount;
    const float cx = static_cast<float>(before.width - 1) / 2.0f;
    const float cy = static_cast<float>(before.height - 1) / 2.0f;
    Image want = before;
    for (int32_t y = 0; y < before.height; ++y) {
        for (int32_t x = 0; x < before.width; ++x) {
            double sum[4] = {0.0, 0.0, 0.0, 0.0};
            for (int32_t k = 0; k < samples; ++k) {
                const float scale = 1.0f - (static_cast<float>(k) / static_cast<float>(samples - 1)) * strength;
                const Pixel p = bilinearSample(before, cx + scale * (static_cast<float>(x) - cx),
                                               cy + scale * (static_cast<float>(y) - cy));
                sum[0] += p.r;
                sum[1] += p.g;
                sum[2] += p.b;
                sum[3] += p.a;
            }
            const double n = samples;
            want.at(x, y) = Pixel{static_cast<float>(sum[0] / n), static_cast<float>(sum[1] / n),
                                  static_cast<float>(sum[2] / n), static_cast<float>(sum[3] / n)};
        }
    }
    return want;
}

void expectBlurredAsPixelByPixel(const Image& before, float amount, const RowBands& bands, const char* what) {
    Image image = before;
    Settings s = testing::quietSettings();
    s.radialBlur = amount;
    applyRadialBlur(image, s, bands);
    const Image want = expectedBlur(before, amount);
    for (int32_t y = 0; y < image.height; ++y)
        for (int32_t x = 0; x < image.width; ++x)
            ASSERT_TRUE(testing::samePixel(image.at(x, y), want.at(x, y)))
                << what << " " << image.width << "x" << image.height << " " << amount << " " << x << "," << y;
}

// The vector paths (groups of eight and four, single pixels) must give those
// bits whatever the width, amount and values (huge ones included).
TEST(RadialBlur, EveryPixelIsTheDoubleMeanOfItsBilinearSamples) {
    for (int32_t width : {1, 3, 4, 7, 8, 13, 29, 300}) {
        for (float amount : {0.05f, 0.37f, 1.0f}) {
            Image image = testing::patternImage(width, 9, width);
            image.at(0, 4) = Pixel{1e30f, -3e29f, 7.0f, 1e-30f};
            if (width == 300) {
                // Mostly clear, as an overlay layer is: a few marks, and a -0 that
                // must come out +0 like any other pixel whose samples are all zero.
                for (int32_t i = 0; i < width * 9; ++i)
                    if (i % 97 != 0) image.pixels[static_cast<size_t>(i)] = Pixel{0.0f, 0.0f, 0.0f, 0.0f};
                image.at(250, 2) = Pixel{-0.0f, -0.0f, 0.0f, -0.0f};
            }
            expectBlurredAsPixelByPixel(image, amount, RowBands::single(), "plain");
        }
    }
}

// Mixed source rows are kept per strip of columns and reused from one output
// row to the next, and the picture is cut into bands of rows: results must
// not depend on where strips, bands or clear blocks begin, nor on sample
// columns that run backwards (amounts past 1 / 0.085 turn the scales negative),
// nor on the order strips are written back in.
TEST(RadialBlur, StripsBandsAndClearBlocksDoNotShowInTheResult) {
    RowBands three;
    three.bands = 3;
    for (const auto& size : {std::pair<int32_t, int32_t>{331, 70}, {70, 331}, {517, 23}}) {
        Image busy = testing::patternImage(size.first, size.second, 3);
        // An infinity shows through a neighbour mixed with weight 0 (as NaN), so
        // a column overwritten before a neighbour read it would show too.
        for (int32_t x = 0; x < size.first; x += 32) busy.at(x, size.second / 3).g = std::numeric_limits<float>::infinity();
        Image layer(size.first, size.second, Pixel{0.0f, 0.0f, 0.0f, 0.0f});
        for (int32_t y = 0; y < size.second; y += 5)
            for (int32_t x = (y * 7) % 61; x < size.first; x += 97) layer.at(x, y) = Pixel{0.9f, 0.1f, 0.5f, 1.0f};
        for (float amount : {0.0011f, 0.4f, 1.0f, 30.0f}) {
            expectBlurredAsPixelByPixel(busy, amount, RowBands::single(), "busy");
            expectBlurredAsPixelByPixel(busy, amount, three, "busy, three bands");
            expectBlurredAsPixelByPixel(layer, amount, three, "layer, three bands");
        }
    }
}

// In place, each row of a strip is written over its source as soon as no later
// row of its band reads that source row: after one more row above the centre,
// dozens below it, and most of the band when the scales come near 0 (amounts
// just under 1 / 0.085). Every row carries infinities, so a row overwritten
// before its last reader shows. Bands cut at the centre row, one row apiece,
// or not at all; widths of several strips on each side of the centre.
TEST(RadialBlur, RowsAreNotOverwrittenBeforeTheirLastReader) {
    RowBands halves, oneRowEach;
    halves.bands = 2;
    for (const auto& size : {std::pair<int32_t, int32_t>{853, 41}, {611, 40}, {9, 97}}) {
        Image image = testing::patternImage(size.first, size.second, 11);
        for (int32_t y = 0; y < size.second; ++y) image.at((y * 37) % size.first, y).r = std::numeric_limits<float>::infinity();
        oneRowEach.bands = size.second;
        for (float amount : {1.0f, 6.0f, 11.7f}) {
            expectBlurredAsPixelByPixel(image, amount, RowBands::single(), "one band");
            expectBlurredAsPixelByPixel(image, amount, halves, "halves");
            expectBlurredAsPixelByPixel(image, amount, oneRowEach, "a row each");
        }
    }
}

}  // namespace
}  // namespace ormel
