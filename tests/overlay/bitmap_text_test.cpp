#include "overlay/bitmap_text.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "engine/pixel_ops.h"

#include "tests/overlay/overlay_test_support.h"

namespace ormel {
namespace {

using testing_support::samePixels;

const Pixel kWhite{1.0f, 1.0f, 1.0f, 1.0f};
const Pixel kBlack{0.0f, 0.0f, 0.0f, 1.0f};

// Lit cells of a text written at scale 1 at (0, 0), as rows of '#' and '.'.
std::string cells(const std::string& text, int32_t width) {
    Image img(width, 5, kBlack);
    drawText(img, 0, 0, text, 1, kWhite, 1.0f);
    std::string out;
    for (int32_t y = 0; y < 5; ++y) {
        for (int32_t x = 0; x < width; ++x) out += img.at(x, y).r > 0.5f ? '#' : '.';
        out += '\n';
    }
    return out;
}

TEST(BitmapText, GlyphsReadLikeTheFontSheet) {
    EXPECT_EQ(cells("4", 3), "#.#\n#.#\n###\n..#\n..#\n");
    EXPECT_EQ(cells("R", 3), "##.\n#.#\n##.\n#.#\n#.#\n");
    EXPECT_EQ(cells("N", 3), "#.#\n###\n###\n###\n#.#\n");
    EXPECT_EQ(cells("/", 3), "..#\n..#\n.#.\n#..\n#..\n");
    EXPECT_EQ(cells("_:", 7), ".......\n.....#.\n.......\n.....#.\n###....\n");
    EXPECT_EQ(cells("0", 3), cells("O", 3));
    EXPECT_EQ(cells("5", 3), cells("S", 3));
    EXPECT_EQ(cells("id_7 track x:12", 60), cells("ID_7 TRACK X:12", 60));
}

TEST(BitmapText, ScaleMakesSolidBlocksAndBelowTwoDrawsAtOne) {
    Image img(16, 16, kBlack);
    drawText(img, 2, 1, "1", 3, kWhite, 1.0f);
    // Row 0 of "1" is 010: the middle cell, columns 5..7, rows 1..3.
    for (int32_t x = 0; x < 16; ++x) EXPECT_EQ(img.at(x, 2).r, x >= 5 && x <= 7 ? 1.0f : 0.0f);
    EXPECT_EQ(img.at(10, 15).r, 1.0f);  // row 4 (111) ends at column 2 + 9 - 1
    EXPECT_EQ(img.at(11, 15).r, 0.0f);
    Image one(30, 8, kBlack), zero(30, 8, kBlack), neg(30, 8, kBlack);
    drawText(one, 1, 1, "X7", 1, kWhite, 1.0f);
    drawText(zero, 1, 1, "X7", 0, kWhite, 1.0f);
    drawText(neg, 1, 1, "X7", -4, kWhite, 1.0f);
    EXPECT_TRUE(samePixels(one, zero));
    EXPECT_TRUE(samePixels(one, neg));
}

TEST(BitmapText, AdvanceOfCharactersSpacesAndUnknownBytes) {
    Image a(40, 10, kBlack), b(40, 10, kBlack);
    drawText(a, 0, 0, "A?(%\xC3Z", 1, kWhite, 1.0f);  // four glyph-less bytes
    drawText(b, 0, 0, "A", 1, kWhite, 1.0f);
    drawText(b, 20, 0, "Z", 1, kWhite, 1.0f);
    EXPECT_TRUE(samePixels(a, b));
    Image c(60, 12, kBlack), d(60, 12, kBlack);
    drawText(c, 3, 1, "A B", 2, kWhite, 1.0f);
    drawText(d, 3, 1, "A", 2, kWhite, 1.0f);
    drawText(d, 3 + 14, 1, "B", 2, kWhite, 1.0f);  // 4s + 3s
    EXPECT_TRUE(samePixels(c, d));

    EXPECT_EQ(textWidth("A B", 2), 22);
    EXPECT_EQ(textWidth("ID_7 X:120 Y:64", 1), 13 * 4 + 2 * 3);
    EXPECT_EQ(textWidth("AB", -7), 8);
    EXPECT_EQ(textHeight(0), 5);
    EXPECT_EQ(textWidth("AB", std::numeric_limits<int32_t>::max()),
              8 * int64_t{std::numeric_limits<int32_t>::max()});
}

TEST(BitmapText, ClippedPerPixelAtEveryEdge) {
    for (const auto& p : {std::pair{-7, -3}, std::pair{10, 4}, std::pair{-2, 8}, std::pair{16, -6}}) {
        Image big(60, 40, kBlack), small(20, 12, kBlack);
        drawText(big, 20 + p.first, 14 + p.second, "W#*=+", 2, kWhite, 0.7f);
        drawText(small, p.first, p.second, "W#*=+", 2, kWhite, 0.7f);
        for (int32_t y = 0; y < 12; ++y)
            for (int32_t x = 0; x < 20; ++x) ASSERT_EQ(small.at(x, y).r, big.at(x + 20, y + 14).r);
    }
    const int32_t big = std::numeric_limits<int32_t>::max();
    Image img(6, 5, kBlack);
    drawText(img, big, -big, "888", big, kWhite, 1.0f);
    drawText(img, 0, -big - 1, "888", 100000, kWhite, 1.0f);
    EXPECT_TRUE(samePixels(img, Image(6, 5, kBlack)));
    drawText(img, -3, -3, "8", big, kWhite, 1.0f);  // one huge cell covers all
    for (const Pixel& px : img.pixels) ASSERT_EQ(px.r, 1.0f);
}

TEST(BitmapText, BlendReplacesAtFullOpacityAndScalesByColourAlpha) {
    Image img(8, 8, Pixel{0.2f, 0.4f, 0.6f, 0.3f});
    drawText(img, 0, 0, "8", 2, Pixel{0.9f, 0.1f, 0.5f, 1.0f}, 1.0f);
    EXPECT_EQ(img.at(0, 0).r, 0.9f);
    EXPECT_EQ(img.at(0, 0).a, 1.0f);
    EXPECT_EQ(img.at(2, 2).r, 0.2f);  // the hole of the 8
    Image half(8, 8, kBlack);
    drawText(half, 0, 0, "8", 2, Pixel{1.0f, 1.0f, 1.0f, 0.5f}, 0.5f);
    EXPECT_EQ(half.at(0, 0).r, 0.25f);
}

// Straight from the definition: each lit cell of each glyph, pixel by pixel,
// within the image and the canvas's rows.
void referenceText(const Canvas& canvas, int32_t x, int32_t y, const std::string& text, int32_t scale,
                   Pixel colour, float opacity) {
    Image& img = canvas.image;
    const int64_t s = scale >= 2 ? scale : 1;
    const float a = clamp01(opacity * colour.a);
    int64_t pen = x;
    for (char byte : text) {
        const unsigned char c = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(byte)));
        if (c == ' ') {
            pen += 3 * s;
            continue;
        }
        const Glyph g = glyphFor(c);
        for (int64_t r = 0; r < 5; ++r) {
            for (int64_t k = 0; k < 3; ++k) {
                if (!(g.rows[r] & (4u >> k))) continue;
                for (int64_t py = y + r * s; py < y + (r + 1) * s; ++py) {
                    if (py < canvas.rowBegin || py >= canvas.rowEnd) continue;
                    for (int64_t px = pen + k * s; px < pen + (k + 1) * s; ++px) {
                        if (px < 0 || px >= img.width) continue;
                        Pixel& p = img.at(static_cast<int32_t>(px), static_cast<int32_t>(py));
                        p = blendOver(p, colour, a);
                    }
                }
            }
        }
        pen += 4 * s;
    }
}

TEST(BitmapText, RowByRowRunsMatchCellByCellBlendsInAnyBand) {
    std::mt19937 rng(3);
    const char letters[] = "ID_0123456789 XY:abcz#*+-./=?! ";
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int32_t n = 0; n < 400; ++n) {
        Image want(61, 37);
        for (size_t i = 0; i < want.pixels.size(); ++i) {
            const float v = static_cast<float>((i * 37) % 101) / 100.0f;
            want.pixels[i] = Pixel{v, 1.0f - v, 0.5f, i % 7 == 0 ? 0.0f : 1.0f};
            if (i % 53 == 0) want.pixels[i].g = nan;
        }
        Image got = want;
        std::string text;
        for (uint32_t k = rng() % 12; k > 0; --k) text += letters[rng() % (sizeof(letters) - 1)];
        const int32_t scale = static_cast<int32_t>(rng() % 5);
        const int32_t x = static_cast<int32_t>(rng() % 90) - 30;
        const int32_t y = static_cast<int32_t>(rng() % 60) - 25;
        const Pixel colour{static_cast<float>(rng() % 5) / 4.0f, 0.3f, 0.9f,
                           static_cast<float>(rng() % 4) / 3.0f};
        const float opacity = static_cast<float>(rng() % 7) / 5.0f;
        const int32_t begin = static_cast<int32_t>(rng() % 37);
        const Band rows{begin, begin + static_cast<int32_t>(rng() % 40)};
        referenceText(Canvas(want, rows), x, y, text, scale, colour, opacity);
        drawText(Canvas(got, rows), x, y, text, scale, colour, opacity);
        ASSERT_EQ(std::memcmp(got.pixels.data(), want.pixels.data(), got.pixels.size() * sizeof(Pixel)), 0)
            << "case " << n << " text \"" << text << "\" scale " << scale << " at " << x << "," << y;
    }
}

}  // namespace
}  // namespace ormel
