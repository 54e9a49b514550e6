#include "overlay/bitmap_text.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace ormel {
namespace {

const Pixel kWhite{1.0f, 1.0f, 1.0f, 1.0f};
const Pixel kBlack{0.0f, 0.0f, 0.0f, 1.0f};

bool samePixels(const Image& x, const Image& y) {
    if (x.width != y.width || x.height != y.height) return false;
    for (size_t i = 0; i < x.pixels.size(); ++i) {
        const Pixel& p = x.pixels[i];
        const Pixel& q = y.pixels[i];
        if (p.r != q.r || p.g != q.g || p.b != q.b || p.a != q.a) return false;
    }
    return true;
}

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
    // Shared glyphs: 0 with O, 5 with S.
    EXPECT_EQ(cells("0", 3), cells("O", 3));
    EXPECT_EQ(cells("5", 3), cells("S", 3));
    EXPECT_NE(cells("8", 3), cells("B", 3));
}

TEST(BitmapText, ScaleEnlargesCellsIntoSolidBlocks) {
    Image img(16, 16, kBlack);
    drawText(img, 2, 1, "1", 3, kWhite, 1.0f);
    // Glyph "1" row 0 is 010: only the middle cell, columns 5..7, rows 1..3.
    for (int32_t y = 0; y < 16; ++y) {
        for (int32_t x = 0; x < 16; ++x) {
            const bool row0 = y >= 1 && y <= 3;
            const bool middle = x >= 5 && x <= 7;
            if (row0) {
                EXPECT_EQ(img.at(x, y).r, middle ? 1.0f : 0.0f) << x << "," << y;
            }
        }
    }
    // Row 4 (111) spans 3 cells: columns 2..10, rows 13..15.
    EXPECT_EQ(img.at(2, 13).r, 1.0f);
    EXPECT_EQ(img.at(10, 15).r, 1.0f);
    EXPECT_EQ(img.at(11, 15).r, 0.0f);
    EXPECT_EQ(textHeight(3), 15);
}

TEST(BitmapText, LowerCaseDrawsAsUpperCase) {
    Image lower(120, 12, kBlack), upper(120, 12, kBlack);
    drawText(lower, 1, 1, "id_7 track x:12", 2, kWhite, 0.9f);
    drawText(upper, 1, 1, "ID_7 TRACK X:12", 2, kWhite, 0.9f);
    EXPECT_TRUE(samePixels(lower, upper));
}

TEST(BitmapText, AdvanceOfCharactersSpacesAndUnknownBytes) {
    // An unknown byte draws nothing but advances like a character.
    Image a(40, 10, kBlack), b(40, 10, kBlack);
    drawText(a, 0, 0, "A?(%\xC3Z", 1, kWhite, 1.0f);
    drawText(b, 0, 0, "A", 1, kWhite, 1.0f);
    drawText(b, 20, 0, "Z", 1, kWhite, 1.0f);
    EXPECT_TRUE(samePixels(a, b));

    // A space is one column narrower: "A B" puts B at 7 * s.
    Image c(60, 12, kBlack), d(60, 12, kBlack);
    drawText(c, 3, 1, "A B", 2, kWhite, 1.0f);
    drawText(d, 3, 1, "A", 2, kWhite, 1.0f);
    drawText(d, 3 + 14, 1, "B", 2, kWhite, 1.0f);
    EXPECT_TRUE(samePixels(c, d));

    EXPECT_EQ(textWidth("A B", 2), 22);
    EXPECT_EQ(textWidth("ID_7 X:120 Y:64", 1), 13 * 4 + 2 * 3);
    EXPECT_EQ(textWidth("", 5), 0);
    EXPECT_EQ(textWidth("AB", 0), 8);
    EXPECT_EQ(textWidth("AB", -7), 8);
    EXPECT_EQ(textWidth("AB", std::numeric_limits<int32_t>::max()),
              8 * int64_t{std::numeric_limits<int32_t>::max()});
}

TEST(BitmapText, ZeroAndNegativeScalesDrawAtOne) {
    Image one(30, 8, kBlack), zero(30, 8, kBlack), neg(30, 8, kBlack);
    drawText(one, 1, 1, "X7", 1, kWhite, 1.0f);
    drawText(zero, 1, 1, "X7", 0, kWhite, 1.0f);
    drawText(neg, 1, 1, "X7", -4, kWhite, 1.0f);
    EXPECT_TRUE(samePixels(one, zero));
    EXPECT_TRUE(samePixels(one, neg));
}

TEST(BitmapText, ClippedPerPixelAtEveryEdge) {
    // Drawing off the edges of a small image equals cropping a large one.
    const int32_t pads[][2] = {{-7, -3}, {10, 4}, {-2, 8}, {16, -6}};
    for (const auto& p : pads) {
        Image big(60, 40, kBlack), small(20, 12, kBlack);
        drawText(big, 20 + p[0], 14 + p[1], "W#*=+", 2, kWhite, 0.7f);
        drawText(small, p[0], p[1], "W#*=+", 2, kWhite, 0.7f);
        for (int32_t y = 0; y < 12; ++y)
            for (int32_t x = 0; x < 20; ++x)
                ASSERT_EQ(small.at(x, y).r, big.at(x + 20, y + 14).r) << p[0] << "," << p[1];
    }
    const Image before(20, 12, kBlack);
    Image outside = before;
    drawText(outside, -100, 2, "ABC", 2, kWhite, 1.0f);
    drawText(outside, 2, 12, "ABC", 2, kWhite, 1.0f);
    drawText(outside, 2, -10, "ABC", 2, kWhite, 1.0f);
    drawText(outside, 20, 2, "ABC", 2, kWhite, 1.0f);
    EXPECT_TRUE(samePixels(outside, before));
}

TEST(BitmapText, BlendReplacesAtFullOpacityAndScalesByColourAlpha) {
    Image img(8, 8, Pixel{0.2f, 0.4f, 0.6f, 0.3f});
    drawText(img, 0, 0, "8", 2, Pixel{0.9f, 0.1f, 0.5f, 1.0f}, 1.0f);
    EXPECT_EQ(img.at(0, 0).r, 0.9f);
    EXPECT_EQ(img.at(0, 0).a, 1.0f);
    EXPECT_EQ(img.at(2, 2).r, 0.2f);  // the hole of the 8

    Image half(8, 8, kBlack);
    drawText(half, 0, 0, "8", 2, Pixel{1.0f, 1.0f, 1.0f, 0.5f}, 0.5f);
    EXPECT_FLOAT_EQ(half.at(0, 0).r, 0.25f);

    Image none(8, 8, kBlack);
    drawText(none, 0, 0, "8", 2, kWhite, 0.0f);
    drawText(none, 0, 0, "", 2, kWhite, 1.0f);
    EXPECT_TRUE(samePixels(none, Image(8, 8, kBlack)));
}

TEST(BitmapText, HugeScalesAndPositionsAreClippedNotOverflowed) {
    Image img(6, 5, kBlack);
    drawText(img, -3, -3, "8", std::numeric_limits<int32_t>::max(), kWhite, 1.0f);
    for (const Pixel& p : img.pixels) ASSERT_EQ(p.r, 1.0f);
    Image edge(6, 5, kBlack);
    drawText(edge, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min(),
             "888", std::numeric_limits<int32_t>::max(), kWhite, 1.0f);
    drawText(edge, std::numeric_limits<int32_t>::min(), 0, "888", 1000000000, kWhite, 1.0f);
    Image empty;
    drawText(empty, 0, 0, "ABC", 2, kWhite, 1.0f);
    EXPECT_TRUE(empty.pixels.empty());
}

}  // namespace
}  // namespace ormel
