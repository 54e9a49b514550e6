// The planes ffmpeg is handed for 8-bit footage: colours in the footage's
// matrix and range (BT.601, BT.709, full range),
// chroma from 2 x 2 blocks, black padding to even sizes, and the same bytes
// whichever way the rows and columns are cut.
#include "media/yuv420.h"

#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Rgb {
    float r, g, b;
};

std::vector<float> frameOf(int w, int h, const std::vector<Rgb>& colours) {
    std::vector<float> rgba(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
        const Rgb& c = colours[i % colours.size()];
        rgba[i * 4] = c.r, rgba[i * 4 + 1] = c.g, rgba[i * 4 + 2] = c.b, rgba[i * 4 + 3] = 0.5f;
    }
    return rgba;
}

std::vector<uint8_t> pack(const std::vector<float>& rgba, int w, int h,
                          const varnok::YuvCoefficients& k = varnok::bt601VideoRange()) {
    const varnok::Yuv420Layout l = varnok::yuv420Layout(w, h);
    std::vector<uint8_t> out(l.totalBytes(), 0xAB);
    varnok::packYuv420Rows(rgba.data(), w, h, 0, l.height / 2, out.data(), k);
    return out;
}

// Expected values from the published tables (BT.601: Y = 16 + 65.481 R +
// 128.553 G + 24.966 B...; BT.709: 46.559, 156.629, 15.812...; full range
// scales by 255 without the offset), rounded half up.
TEST(Yuv420, ReferenceColoursLandOnTheirValuesInEachMatrixAndRange) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const varnok::YuvCoefficients bt601 = varnok::bt601VideoRange();
    const varnok::YuvCoefficients bt709 = varnok::yuvCoefficients(0.2126, 0.0722, false);
    const varnok::YuvCoefficients full601 = varnok::yuvCoefficients(0.299, 0.114, true);
    struct Case {
        const varnok::YuvCoefficients* k;
        Rgb colour;
        int y, u, v;
    };
    // Out-of-range and NaN samples clamp (NaN to 0) before the conversion.
    for (const Case& c : {Case{&bt601, {1, 1, 1}, 235, 128, 128}, Case{&bt601, {0, 0, 0}, 16, 128, 128},
                          Case{&bt601, {1, 0, 0}, 81, 90, 240}, Case{&bt601, {0, 0, 1}, 41, 240, 110},
                          Case{&bt601, {0, 1, 0}, 145, 54, 34}, Case{&bt601, {2.5f, nan, -3}, 81, 90, 240},
                          Case{&bt709, {1, 1, 1}, 235, 128, 128}, Case{&bt709, {1, 0, 0}, 63, 102, 240},
                          Case{&bt709, {0, 1, 0}, 173, 42, 26}, Case{&bt709, {0, 0, 1}, 32, 240, 118},
                          Case{&full601, {0, 0, 0}, 0, 128, 128}, Case{&full601, {1, 1, 1}, 255, 128, 128},
                          Case{&full601, {1, 0, 0}, 76, 85, 255}}) {
        const std::vector<uint8_t> out = pack(frameOf(6, 4, {c.colour}), 6, 4, *c.k);
        for (size_t i = 0; i < 24; ++i) ASSERT_EQ(out[i], c.y) << i;
        for (size_t i = 24; i < 30; ++i) ASSERT_EQ(out[i], c.u) << i;
        for (size_t i = 30; i < 36; ++i) ASSERT_EQ(out[i], c.v) << i;
    }
    // BT.709's padding is its black too.
    const std::vector<uint8_t> padded = pack(frameOf(5, 3, {{1, 1, 1}}), 5, 3, bt709);
    EXPECT_EQ(padded[5], 16);
    const std::vector<uint8_t> fullPadded = pack(frameOf(5, 3, {{1, 1, 1}}), 5, 3, full601);
    EXPECT_EQ(fullPadded[5], 0);
}

// A 5 x 3 white frame becomes 6 x 4 planes: the padding is black (and
// opaque) and the chroma of a block half padding is the mean of white and black.
TEST(Yuv420, OddSizesArePaddedWithBlack) {
    const std::vector<uint8_t> out = pack(frameOf(5, 3, {{1, 1, 1}}), 5, 3);
    ASSERT_EQ(out.size(), 6u * 4 + 2 * 3 * 2);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(out[static_cast<size_t>(y) * 6 + x], x < 5 && y < 3 ? 235 : 16) << x << y;
    // Chroma is grey everywhere (white, black and their means are all neutral).
    for (size_t i = 24; i < out.size(); ++i) EXPECT_EQ(out[i], 128) << i;
    // Red over a padded corner: a quarter of red's difference from neutral.
    const std::vector<uint8_t> red = pack(frameOf(5, 3, {{1, 0, 0}}), 5, 3);
    EXPECT_EQ(red[24 + 5], 119);  // 128 - 37.797 / 4, the block at (4..5, 2..3)
    EXPECT_EQ(red[30 + 5], 156);  // 128 + 112 / 4
    // The alpha plane of yuva420p: the frame's alpha (0.5, rounded half up),
    // the padding opaque under its black; out-of-range alpha clamps.
    std::vector<float> rgba = frameOf(5, 3, {{1, 1, 1}});
    rgba[3] = 7.0f, rgba[7] = -1.0f;
    std::vector<uint8_t> alpha(6 * 4, 0xAB);
    varnok::packAlphaRows(rgba.data(), 5, 3, 0, 2, alpha.data());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            const int want = y == 0 && x == 0 ? 255 : y == 0 && x == 1 ? 0 : x < 5 && y < 3 ? 128 : 255;
            EXPECT_EQ(alpha[static_cast<size_t>(y) * 6 + x], want) << x << " " << y;
        }
}

// Every pixel different; widths that put pixels in the four-at-a-time path
// and in the one-at-a-time tail, and rows packed in one call or one at a time.
TEST(Yuv420, BytesDoNotDependOnHowThePlanesAreCut) {
    std::vector<Rgb> colours;
    for (int i = 0; i < 97; ++i) colours.push_back({(i * 37 % 101) / 100.0f, (i * 53 % 103) / 102.0f, (i * 11 % 7) / 6.0f});
    const std::vector<float> wide = frameOf(13, 6, colours);
    const std::vector<uint8_t> whole = pack(wide, 13, 6);
    const varnok::Yuv420Layout l = varnok::yuv420Layout(13, 6);
    std::vector<uint8_t> byRows(l.totalBytes());
    for (int j = 0; j < 3; ++j) varnok::packYuv420Rows(wide.data(), 13, 6, j, j + 1, byRows.data());
    EXPECT_EQ(byRows, whole);
    // The first three columns of each row again as a frame of their own, where
    // they all take the one-at-a-time path.
    std::vector<float> narrow;
    for (int y = 0; y < 6; ++y) narrow.insert(narrow.end(), wide.begin() + y * 13 * 4, wide.begin() + (y * 13 + 3) * 4);
    const std::vector<uint8_t> small = pack(narrow, 3, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(small[static_cast<size_t>(y) * 4 + x], whole[static_cast<size_t>(y) * 14 + x]);
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(small[24 + j * 2], whole[84 + j * 7]);       // U, first block
        EXPECT_EQ(small[30 + j * 2], whole[84 + 21 + j * 7]);  // V, first block
    }
}

}  // namespace
