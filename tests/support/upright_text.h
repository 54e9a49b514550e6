// Reading text the effect drew back out of a top-down picture, to check that
// it stands upright: the test frames with red squares to label, and the
// glyphs of "ID_1" and "ID_2" as the font draws them.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "host/ofx_host.h"

namespace upright_text {

using ofxhost::FloatImage;

constexpr int kW = 120;
constexpr int kH = 80;

struct Square {
    int x, y;  // top-left, rows counted from the top of the picture
};

// Dark field with red 8 x 8 squares.
inline FloatImage squaresFrame(const std::vector<Square>& squares) {
    FloatImage img(kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            float* p = img.pixel(x, y);
            p[0] = p[1] = 0.05f;
            p[2] = 0.08f;
            p[3] = 1.0f;
        }
    for (const Square& s : squares)
        for (int y = s.y; y < s.y + 8; ++y)
            for (int x = s.x; x < s.x + 8; ++x) {
                float* p = img.pixel(x, y);
                p[0] = 0.95f;
                p[1] = 0.05f;
                p[2] = 0.04f;
            }
    return img;
}

inline bool isBlue(const float* p) { return p[2] > 0.5f && p[0] < 0.2f && p[1] < 0.2f; }
inline bool isGreen(const float* p) { return p[1] > 0.5f && p[0] < 0.2f && p[2] < 0.2f; }

// The 3 x 5 cells of the character whose top-left corner is (x, y) at scale
// s, read at each cell's centre, as rows of three bits like the font table.
inline std::array<int, 5> glyphAt(const FloatImage& img, int x, int y, int s, bool (*on)(const float*)) {
    std::array<int, 5> rows{};
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 3; ++c) {
            const int px = x + c * s + s / 2, py = y + r * s + s / 2;
            const bool lit = px >= 0 && py >= 0 && px < img.width && py < img.height && on(img.pixel(px, py));
            rows[r] = rows[r] << 1 | (lit ? 1 : 0);
        }
    return rows;
}

inline const std::array<int, 5> kI = {0b111, 0b010, 0b010, 0b010, 0b111};
inline const std::array<int, 5> kD = {0b110, 0b101, 0b101, 0b101, 0b110};
inline const std::array<int, 5> kUnderscore = {0, 0, 0, 0, 0b111};
inline const std::array<int, 5> kOne = {0b010, 0b110, 0b010, 0b010, 0b111};
inline const std::array<int, 5> kTwo = {0b111, 0b001, 0b111, 0b100, 0b111};

// A label reads "ID_<digit>" upright with its top-left corner at (x, y).
inline void expectLabel(const FloatImage& img, int x, int y, const std::array<int, 5>& digit, bool (*on)(const float*)) {
    EXPECT_EQ(glyphAt(img, x, y, 2, on), kI) << "at " << x << "," << y;
    EXPECT_EQ(glyphAt(img, x + 8, y, 2, on), kD);
    EXPECT_EQ(glyphAt(img, x + 16, y, 2, on), kUnderscore);
    EXPECT_EQ(glyphAt(img, x + 24, y, 2, on), digit);
}

}  // namespace upright_text
