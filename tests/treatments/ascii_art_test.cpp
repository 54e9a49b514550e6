#include "treatments/ascii_art.h"

#include <algorithm>
#include <limits>

#include <gtest/gtest.h>

#include "engine/pixel_ops.h"
#include "tests/treatments/test_images.h"

namespace ormel {
namespace {

using testing::patternImage;
using testing::sameImage;

constexpr const char* kGlyphM[5] = {"101", "111", "111", "101", "101"};
constexpr const char* kGlyphPlus[5] = {"000", "010", "111", "010", "000"};

Image rendered(Image image, int32_t mode, float amount, int32_t cell) {
    Settings s = testing::quietSettings();
    s.asciiMode = static_cast<ormel::AsciiMode>(mode);
    s.asciiAmount = amount;
    s.asciiCellSize = cell;
    applyAsciiArt(image, s);
    return image;
}

// One cell of an overlay-mode render at amount 1: glyph cells light, everything else black.
void expectCell(const Image& image, int32_t x0, int32_t y0, int32_t cell, int32_t scale, const char* const* glyph) {
    for (int32_t y = y0; y < std::min(y0 + cell, image.height); ++y)
        for (int32_t x = x0; x < std::min(x0 + cell, image.width); ++x) {
            const int32_t c = (x - x0) / scale, r = (y - y0) / scale;
            const bool on = glyph && c < 3 && r < 5 && glyph[r][c] == '1';
            EXPECT_FLOAT_EQ(image.at(x, y).r, on ? 0.85f : 0.0f) << x << "," << y;
            EXPECT_FLOAT_EQ(image.at(x, y).b, on ? 0.92f : 0.0f) << x << "," << y;
            EXPECT_EQ(image.at(x, y).a, 1.0f);
        }
}

TEST(AsciiArt, CellBrightnessPicksTheCharacter) {
    // 18 x 10 with cells of 8: white, mid grey (index 4, "+") and a 2-wide edge cell that
    // samples only its white column 16; the second row of cells is dim (a space).
    Image image(18, 10, Pixel{0.05f, 0.05f, 0.05f, 0.3f});
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 17; ++x) image.at(x, y) = x < 8 || x == 16 ? Pixel{1, 1, 1, 1} : Pixel{0.5f, 0.5f, 0.5f, 1};
    const Image out = rendered(image, 1, 1.0f, 8);
    expectCell(out, 0, 0, 8, 1, kGlyphM);
    expectCell(out, 8, 0, 8, 1, kGlyphPlus);
    expectCell(out, 16, 0, 8, 1, kGlyphM);
    expectCell(out, 0, 8, 8, 1, nullptr);

    // Only every second column is sampled: white odd columns read as black.
    Image stripes(8, 8, Pixel{0, 0, 0, 1});
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 1; x < 8; x += 2) stripes.at(x, y) = Pixel{1, 1, 1, 1};
    expectCell(rendered(stripes, 1, 1.0f, 8), 0, 0, 8, 1, nullptr);
    // Cell 12 draws at scale 2; sizes clamp to [4, 48].
    expectCell(rendered(Image(12, 12, Pixel{1, 1, 1, 1}), 1, 1.0f, 12), 0, 0, 12, 2, kGlyphM);
    const Image busy = patternImage(100, 60, 3);
    EXPECT_TRUE(sameImage(rendered(busy, 1, 0.8f, 2), rendered(busy, 1, 0.8f, 4)));
    EXPECT_TRUE(sameImage(rendered(busy, 1, 0.8f, -7), rendered(busy, 1, 0.8f, 4)));
    EXPECT_TRUE(sameImage(rendered(busy, 1, 0.8f, 100), rendered(busy, 1, 0.8f, 48)));
    EXPECT_FALSE(sameImage(rendered(busy, 1, 0.8f, 5), rendered(busy, 1, 0.8f, 4)));
}

TEST(AsciiArt, OverlayAndReplaceModesMixDifferently) {
    // Overlay at 0.3: between characters 70 % of the picture remains, alpha rises.
    const Pixel kept = rendered(Image(8, 8, Pixel{0.05f, 0.04f, 0.02f, 0.5f}), 1, 0.3f, 8).at(3, 3);
    EXPECT_FLOAT_EQ(kept.r, 0.05f * 0.7f);
    EXPECT_FLOAT_EQ(kept.a, 0.5f * 0.7f + 0.3f);
    const Image busy = patternImage(32, 24, 2);
    EXPECT_TRUE(sameImage(rendered(busy, 1, 0.6f, 8), rendered(busy, 7, 0.6f, 8)));
    EXPECT_TRUE(sameImage(rendered(busy, 1, 0.6f, 8), rendered(busy, -1, 0.6f, 8)));

    // Replace: white cell, so the "M" takes white pulled toward (0.8, 1, 0.92) on black.
    const Image replaced = rendered(Image(8, 8, Pixel{1, 1, 1, 0.25f}), 2, 1.0f, 8);
    EXPECT_NEAR(replaced.at(0, 0).r, 0.87f, 1e-6f);
    EXPECT_NEAR(replaced.at(0, 0).b, 0.948f, 1e-6f);
    EXPECT_NEAR(replaced.at(1, 0).r, 0.0f, 1e-6f);
    EXPECT_NEAR(replaced.at(1, 0).a, 1.0f, 1e-6f);
    // Half strength mixes all four channels, alpha included.
    const Pixel half = rendered(Image(8, 8, Pixel{0.2f, 0.2f, 0.2f, 0.0f}), 2, 0.5f, 8).at(5, 5);
    EXPECT_NEAR(half.r, 0.1f, 1e-6f);
    EXPECT_NEAR(half.a, 0.5f, 1e-6f);

    Image hostile = busy;
    hostile.at(0, 0).r = std::numeric_limits<float>::quiet_NaN();
    hostile.at(10, 10).g = std::numeric_limits<float>::infinity();
    EXPECT_EQ(rendered(hostile, 2, std::numeric_limits<float>::infinity(), 8).width, 32);
    EXPECT_TRUE(sameImage(rendered(busy, 0, 1.0f, 8), busy));
}

// Where no character is drawn the overlay mode is blendOver with a clear layer,
// pixel by pixel: the vector blend must keep the colour lanes and the clamped
// alpha lane apart, in full vectors and in the odd pixel at the end of a row.
TEST(AsciiArt, OverlayBetweenCharactersIsTheOverBlendOfEveryPixel) {
    for (int32_t width : {1, 2, 13}) {
        Image dark(width, 11);
        for (size_t i = 0; i < dark.pixels.size(); ++i) {
            const float v = 0.01f * static_cast<float>(i % 7);
            dark.pixels[i] = Pixel{v, 0.02f - v, -v, i % 3 == 0 ? 1.5f : (i % 3 == 1 ? -0.25f : 0.4f)};
        }
        dark.pixels[0].a = std::numeric_limits<float>::quiet_NaN();
        const Image out = rendered(dark, 1, 0.6f, 4);
        for (size_t i = 0; i < dark.pixels.size(); ++i) {
            ASSERT_TRUE(testing::samePixel(out.pixels[i], blendOver(dark.pixels[i], Pixel{0, 0, 0, 0}, 0.6f)))
                << width << " " << i;
        }
    }
}

}  // namespace
}  // namespace ormel
