#include "treatments/ascii_art.h"

#include <limits>

#include <gtest/gtest.h>

#include "tests/treatments/test_images.h"

namespace ormel {
namespace {

using testing::patternImage;
using testing::quietSettings;
using testing::sameImage;

constexpr const char* kGlyphM[5] = {"101", "111", "111", "101", "101"};
constexpr const char* kGlyphPlus[5] = {"000", "010", "111", "010", "000"};

Settings ascii(int32_t mode, float amount, int32_t cell) {
    Settings s = quietSettings();
    s.asciiMode = mode;
    s.asciiAmount = amount;
    s.asciiCellSize = cell;
    return s;
}

bool isOn(const char* const glyph[5], int32_t col, int32_t row, int32_t scale) {
    const int32_t c = col / scale, r = row / scale;
    return c < 3 && r < 5 && glyph[r][c] == '1';
}

// Checks one cell of a mode-1, amount-1 render: glyph cells light, the rest black.
void expectCell(const Image& image, int32_t x0, int32_t y0, int32_t cell, int32_t scale, const char* const glyph[5]) {
    for (int32_t y = y0; y < std::min(y0 + cell, image.height); ++y) {
        for (int32_t x = x0; x < std::min(x0 + cell, image.width); ++x) {
            const Pixel& p = image.at(x, y);
            const bool on = glyph != nullptr && isOn(glyph, x - x0, y - y0, scale);
            EXPECT_FLOAT_EQ(p.r, on ? 0.85f : 0.0f) << x << "," << y;
            EXPECT_FLOAT_EQ(p.g, on ? 1.0f : 0.0f) << x << "," << y;
            EXPECT_FLOAT_EQ(p.b, on ? 0.92f : 0.0f) << x << "," << y;
            EXPECT_EQ(p.a, 1.0f);
        }
    }
}

TEST(AsciiArt, OffModesAndWeakAmountsSkip) {
    const Image original = patternImage(24, 16);
    for (const Settings& s : {ascii(0, 1.0f, 8), ascii(1, 0.001f, 8), ascii(2, -1.0f, 8),
                              ascii(1, std::numeric_limits<float>::quiet_NaN(), 8)}) {
        Image image = original;
        applyAsciiArt(image, s);
        EXPECT_TRUE(sameImage(image, original));
    }
}

TEST(AsciiArt, BrightnessPicksTheCharacter) {
    Image white(16, 8, Pixel{1.0f, 1.0f, 1.0f, 1.0f});
    for (int32_t y = 0; y < 8; ++y) {
        for (int32_t x = 8; x < 16; ++x) white.at(x, y) = Pixel{0.5f, 0.5f, 0.5f, 0.3f};
    }
    applyAsciiArt(white, ascii(1, 1.0f, 8));
    expectCell(white, 0, 0, 8, 1, kGlyphM);     // luminance 1 -> "M"
    expectCell(white, 8, 0, 8, 1, kGlyphPlus);  // luminance 0.5 -> index 4, "+"

    Image dim(8, 8, Pixel{0.05f, 0.05f, 0.05f, 0.5f});  // index 0: a space draws nothing
    applyAsciiArt(dim, ascii(1, 1.0f, 8));
    expectCell(dim, 0, 0, 8, 1, nullptr);
}

TEST(AsciiArt, CellsSampleEverySecondPixel) {
    // White odd columns are never sampled, so the cell reads as black.
    Image stripes(8, 8, Pixel{0.0f, 0.0f, 0.0f, 1.0f});
    for (int32_t y = 0; y < 8; ++y) {
        for (int32_t x = 1; x < 8; x += 2) stripes.at(x, y) = Pixel{1.0f, 1.0f, 1.0f, 1.0f};
    }
    Image odd = stripes;
    applyAsciiArt(odd, ascii(1, 1.0f, 8));
    expectCell(odd, 0, 0, 8, 1, nullptr);

    // The same stripes one column over are all that is sampled: "M".
    Image even(8, 8, Pixel{0.0f, 0.0f, 0.0f, 1.0f});
    for (int32_t y = 0; y < 8; ++y) {
        for (int32_t x = 0; x < 8; x += 2) even.at(x, y) = Pixel{1.0f, 1.0f, 1.0f, 1.0f};
    }
    applyAsciiArt(even, ascii(1, 1.0f, 8));
    expectCell(even, 0, 0, 8, 1, kGlyphM);
}

TEST(AsciiArt, CellSizeIsClampedAndSetsTheScale) {
    const Image original = patternImage(100, 60, 3);
    auto render = [&](int32_t cell) {
        Image image = original;
        applyAsciiArt(image, ascii(1, 0.8f, cell));
        return image;
    };
    EXPECT_TRUE(sameImage(render(2), render(4)));
    EXPECT_TRUE(sameImage(render(0), render(4)));
    EXPECT_TRUE(sameImage(render(-7), render(4)));
    EXPECT_TRUE(sameImage(render(100), render(48)));
    EXPECT_FALSE(sameImage(render(5), render(4)));

    // Cell 12 draws at scale 2.
    Image white(12, 12, Pixel{1.0f, 1.0f, 1.0f, 1.0f});
    applyAsciiArt(white, ascii(1, 1.0f, 12));
    expectCell(white, 0, 0, 12, 2, kGlyphM);
}

TEST(AsciiArt, LastCellsAreCutAtTheEdge) {
    // 10 x 10 with cells of 8: the right-hand cells are 2 wide and sample column 8 only.
    Image image(10, 10, Pixel{0.0f, 0.0f, 0.0f, 1.0f});
    for (int32_t y = 0; y < 10; ++y) image.at(8, y) = Pixel{1.0f, 1.0f, 1.0f, 1.0f};
    applyAsciiArt(image, ascii(1, 1.0f, 8));
    expectCell(image, 0, 0, 8, 1, nullptr);
    expectCell(image, 8, 0, 8, 1, kGlyphM);
    expectCell(image, 8, 8, 8, 1, kGlyphM);
}

TEST(AsciiArt, OverlayModeDarkensBetweenCharacters) {
    Image image(8, 8, Pixel{0.05f, 0.04f, 0.02f, 0.5f});
    applyAsciiArt(image, ascii(1, 0.3f, 8));
    const Pixel& p = image.at(3, 3);
    EXPECT_FLOAT_EQ(p.r, 0.05f * 0.7f);
    EXPECT_FLOAT_EQ(p.g, 0.04f * 0.7f);
    EXPECT_FLOAT_EQ(p.a, 0.5f * 0.7f + 0.3f);

    // Unknown non-zero modes act as the overlay mode.
    const Image original = patternImage(32, 24, 2);
    Image one = original, seven = original, negative = original;
    applyAsciiArt(one, ascii(1, 0.6f, 8));
    applyAsciiArt(seven, ascii(7, 0.6f, 8));
    applyAsciiArt(negative, ascii(-1, 0.6f, 8));
    EXPECT_TRUE(sameImage(one, seven));
    EXPECT_TRUE(sameImage(one, negative));
}

TEST(AsciiArt, ReplaceModeUsesThePulledCellColourOnBlack) {
    Image image(8, 8, Pixel{1.0f, 1.0f, 1.0f, 0.25f});
    applyAsciiArt(image, ascii(2, 1.0f, 8));
    const Pixel on = image.at(0, 0);  // "M" top-left cell is lit
    EXPECT_NEAR(on.r, 1.0f + 0.65f * (0.8f - 1.0f), 1e-6f);
    EXPECT_NEAR(on.g, 1.0f, 1e-6f);
    EXPECT_NEAR(on.b, 1.0f + 0.65f * (0.92f - 1.0f), 1e-6f);
    EXPECT_NEAR(on.a, 1.0f, 1e-6f);
    const Pixel off = image.at(1, 0);
    EXPECT_NEAR(off.r, 0.0f, 1e-6f);
    EXPECT_NEAR(off.a, 1.0f, 1e-6f);

    // Half strength mixes all four channels, alpha included, toward the layer.
    Image half(8, 8, Pixel{0.2f, 0.2f, 0.2f, 0.0f});
    applyAsciiArt(half, ascii(2, 0.5f, 8));
    EXPECT_NEAR(half.at(5, 5).r, 0.1f, 1e-6f);
    EXPECT_NEAR(half.at(5, 5).a, 0.5f, 1e-6f);
}

TEST(AsciiArt, NonFinitePixelsAndHugeAmountsStayDefined) {
    Image image = patternImage(20, 20, 4);
    image.at(0, 0).r = std::numeric_limits<float>::quiet_NaN();
    image.at(10, 10).g = std::numeric_limits<float>::infinity();
    image.at(18, 2).b = -3e38f;
    Image copy = image;
    applyAsciiArt(image, ascii(2, std::numeric_limits<float>::infinity(), 8));
    applyAsciiArt(copy, ascii(1, 1e30f, 8));
    EXPECT_EQ(image.width, 20);
}

}  // namespace
}  // namespace ormel
