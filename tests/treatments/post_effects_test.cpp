#include "treatments/post_effects.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "engine/pixel_ops.h"
#include "overlay/hash.h"
#include "treatments/screen_pass.h"
#include "tests/treatments/test_images.h"

namespace ormel {
namespace {

using testing::patternImage;
using testing::quietSettings;
using testing::sameImage;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

Image chained(Image image, const Settings& s) {
    applyPostEffects(image, s);
    return image;
}

// Red and blue hold the column, green the row, so moved pixels show where they came from.
Image coordinateImage(int32_t width, int32_t height) {
    Image image(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) image.at(x, y) = Pixel{x / 1000.0f, y / 1000.0f, x / 1000.0f + 0.5f, 1.0f};
    return image;
}

TEST(PostEffects, StagesSkipAtTheirThresholdsAndRunJustAbove) {
    const Image original = patternImage(40, 30);
    struct Case {
        float Settings::*field;
        float off, on;
    };
    for (const Case& c : {Case{&Settings::lensDistortion, 0.0005f, -0.0015f}, Case{&Settings::fisheye, 0.001f, 0.0015f},
                          Case{&Settings::radialBlur, 0.001f, 0.0011f}, Case{&Settings::glitchAmount, 0.001f, 0.6f},
                          Case{&Settings::chromaticAberration, 0.01f, 0.011f}, Case{&Settings::asciiAmount, 0.001f, 0.0011f},
                          Case{&Settings::scanline, 0.0f, 0.01f}, Case{&Settings::invertAmount, 0.0f, 0.01f}}) {
        Settings s = quietSettings();
        s.asciiMode = ormel::AsciiMode::Overlay;
        s.*c.field = c.off;
        EXPECT_TRUE(sameImage(chained(original, s), original)) << c.off;
        s.*c.field = kNaN;
        EXPECT_TRUE(sameImage(chained(original, s), original)) << "NaN";
        s.*c.field = c.on;
        EXPECT_FALSE(sameImage(chained(original, s), original)) << c.on;
    }
}

TEST(PostEffects, AlwaysOnPassClampsColourNotAlpha) {
    Image image(2, 1);
    image.at(0, 0) = Pixel{2.0f, -1.0f, 0.5f, 7.0f};
    image.at(1, 0) = Pixel{kInf, 1e30f, 0.25f, kNaN};
    image = chained(image, quietSettings());
    EXPECT_EQ(image.at(0, 0).r, 1.0f);
    EXPECT_EQ(image.at(0, 0).g, 0.0f);
    EXPECT_EQ(image.at(0, 0).b, 0.5f);
    EXPECT_EQ(image.at(0, 0).a, 7.0f);
    EXPECT_EQ(image.at(1, 0).r, 1.0f);
    EXPECT_EQ(image.at(1, 0).g, 1.0f);
    EXPECT_TRUE(std::isnan(image.at(1, 0).a));
}

// Unpadded rows of a width x height picture in `bytes`, starting `offset`
// bytes past a 16-byte boundary, bottom row first when `bottomUp`.
PictureRows rowsIn(std::vector<unsigned char>& bytes, int32_t width, int32_t height, size_t offset, bool bottomUp) {
    const size_t stride = static_cast<size_t>(width) * sizeof(Pixel);
    bytes.assign(stride * static_cast<size_t>(height) + 32, 0);
    unsigned char* base = bytes.data() + (16 - reinterpret_cast<uintptr_t>(bytes.data()) % 16) % 16 + offset;
    PictureRows rows;
    rows.first = bottomUp ? base + (static_cast<size_t>(height) - 1) * stride : base;
    rows.rowBytes = bottomUp ? -static_cast<std::ptrdiff_t>(stride) : static_cast<std::ptrdiff_t>(stride);
    rows.width = width;
    rows.height = height;
    return rows;
}

// The gain-and-clamp pass writes back only what changes, in groups that
// start wherever a row's cache lines do, and streams into another buffer;
// every width and row start must still give each pixel the scalar result,
// whichever lane of a group it sits in.
TEST(PostEffects, GainAndClampGiveEveryPixelTheScalarBits) {
    const float unusual[] = {2.0f, -1.0f, -0.0f, kNaN, -kNaN, kInf, -kInf, 1e-40f, 1.0000001f, 0.99999994f};
    for (const float scanline : {0.0f, 0.6f, 1e30f}) {
        Settings s = quietSettings();
        s.scanline = scanline;
        for (int32_t width = 1; width <= 13; ++width) {
            const int32_t height = 6;
            Image image(width, height, Pixel{0.25f, 0.5f, 0.75f, 1.0f});
            // One unusual channel per pixel, moving through lanes and rows.
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < width; ++x) {
                    if ((x + 2 * y) % 3 != 0) continue;
                    float* channels = &image.at(x, y).r;
                    channels[(x + y) % 4] = unusual[(x * 7 + y) % 10];
                }
            Image expected = image;
            for (int32_t y = 0; y < height; ++y) {
                const float gain = scanline > 0.0f && (y & 1) != 0 ? 1.0f - 0.45f * scanline : 1.0f;
                for (int32_t x = 0; x < width; ++x) {
                    Pixel& p = expected.at(x, y);
                    p = Pixel{clamp01(p.r * gain), clamp01(p.g * gain), clamp01(p.b * gain), p.a};
                }
            }
            // Into another buffer, rows bottom-up and 4 bytes off a 16-byte boundary or on one.
            for (const size_t offset : {0u, 4u}) {
                std::vector<unsigned char> bytes;
                const PictureRows out = rowsIn(bytes, width, height, offset, true);
                const size_t stride = static_cast<size_t>(width) * sizeof(Pixel);
                const Image before = image;
                applyScreenPassInto(image, s, RowBands::single(), out);
                ASSERT_TRUE(sameImage(image, before));
                for (int32_t y = 0; y < height; ++y)
                    ASSERT_EQ(0, std::memcmp(out.row(y), &expected.at(0, y), stride))
                        << "into, width " << width << ", scanline " << scanline << ", row " << y;
            }
            applyScreenPass(image, s);
            ASSERT_EQ(0, std::memcmp(image.pixels.data(), expected.pixels.data(), image.pixels.size() * sizeof(Pixel)))
                << "width " << width << ", scanline " << scanline;
        }
    }
}

// Into another buffer, aligned or not, every combination of stages gives the
// in-place bits over long rows.
TEST(PostEffects, EveryPerPixelStageWritesAnotherBufferAsItWouldInPlace) {
    const int32_t width = 600, height = 4;
    Image image = patternImage(width, height, 5);
    image.at(300, 1) = Pixel{2.0f, -1.0f, kNaN, 0.5f};
    for (int combination = 0; combination < 16; ++combination) {
        Settings s = quietSettings();
        s.scanline = 0.3f;
        s.vignette = (combination & 1) ? 0.6f : 0.0f;
        s.noise = (combination & 2) ? 0.2f : 0.0f;
        s.vhsFlicker = (combination & 4) ? 0.5f : 0.0f;
        s.invertAmount = (combination & 8) ? 0.3f : 0.0f;
        s.seed = 17;
        s.frameNumber = 4;
        Image inPlace = image;
        applyScreenPass(inPlace, s);
        for (const size_t offset : {0u, 4u}) {
            const size_t stride = static_cast<size_t>(width) * sizeof(Pixel);
            std::vector<unsigned char> bytes;
            const PictureRows out = rowsIn(bytes, width, height, offset, false);
            applyScreenPassInto(image, s, RowBands::single(), out);
            for (int32_t y = 0; y < height; ++y)
                ASSERT_EQ(0, std::memcmp(out.row(y), &inPlace.at(0, y), stride))
                    << "stages " << combination << ", offset " << offset << ", row " << y;
        }
    }
}

TEST(PostEffects, ScanlinesDarkenOddRowsOnly) {
    Settings s = quietSettings();
    s.scanline = 1.0f;
    const Image image = chained(Image(3, 4, Pixel{0.8f, 0.4f, 1.0f, 0.5f}), s);
    for (int32_t y = 0; y < 4; ++y) {
        EXPECT_FLOAT_EQ(image.at(1, y).r, y % 2 ? 0.8f * 0.55f : 0.8f) << y;
        EXPECT_EQ(image.at(1, y).a, 0.5f);
    }
}

TEST(PostEffects, NoiseIsPerPixelAndFlickerPerRow) {
    Settings s = quietSettings();
    s.noise = 0.2f;
    s.vhsFlicker = 1.0f;
    s.seed = 5;
    s.frameNumber = 77;
    const Image image = chained(Image(3, 4, Pixel{0.5f, 0.5f, 0.5f, 1.0f}), s);
    const float frameDraw = hash01(77, 0, 0, 5 + 911);
    for (int32_t y = 0; y < 4; ++y) {
        const float flicker = 1.0f + 0.28f * (frameDraw - 0.5f) + 0.12f * (hash01(y, 77, 0, 5 + 921) - 0.5f);
        for (int32_t x = 0; x < 3; ++x) {
            const float noisy = 0.5f + (hash01(x, y, 77, 5) - 0.5f) * 0.2f;
            EXPECT_FLOAT_EQ(image.at(x, y).r, noisy * flicker) << x << "," << y;
            EXPECT_EQ(image.at(x, y).r, image.at(x, y).b);  // one draw for all three channels
        }
    }
}

TEST(PostEffects, GlitchSlicesAllReadTheUnglitchedPicture) {
    // Replays the slice draws: each row ends up shifted by the last slice covering it,
    // from the original picture, never by the sum of overlapping slices.
    const int32_t width = 120, height = 40;
    int shiftedRows = 0;
    for (int32_t frame = 0; frame < 12; ++frame) {
        Settings s = quietSettings();
        s.glitchAmount = 1.0f;  // 16 attempts, shifts up to 33 px, slices 1 to 18 rows
        s.seed = 2024;
        s.frameNumber = frame;
        const Image image = chained(coordinateImage(width, height), s);
        std::vector<int32_t> shift(height, 0);
        for (int32_t i = 0; i < 16; ++i) {
            if (hash01(i, frame, 0, 2024 + 811) > 0.35f * 1.0f + 0.4f) continue;
            const int32_t top = static_cast<int32_t>(height * hash01(i, frame, 1, 2024 + 821));
            const int32_t rows = static_cast<int32_t>(18.0f * hash01(i, frame, 2, 2024 + 831) + 1.0f);
            const int32_t by = static_cast<int32_t>((hash01(i, frame, 3, 2024 + 841) - 0.5f) * 2.0f * 34.0f);
            for (int32_t y = top; y < std::min(top + rows, height); ++y) shift[y] = by;
        }
        for (int32_t y = 0; y < height; ++y) {
            shiftedRows += shift[y] != 0;
            for (int32_t x = 0; x < width; x += 7)
                ASSERT_EQ(image.at(x, y).r, std::clamp(x + shift[y], 0, width - 1) / 1000.0f) << frame << "," << y;
        }
    }
    EXPECT_GT(shiftedRows, 0);

    // 0.05 makes one attempt with maxShift 1: the shift truncates to 0, nothing moves.
    Settings weak = quietSettings();
    weak.glitchAmount = 0.05f;
    const Image original = patternImage(64, 48);
    for (weak.frameNumber = 0; weak.frameNumber < 20; ++weak.frameNumber)
        EXPECT_TRUE(sameImage(chained(original, weak), original));
}

TEST(PostEffects, ChromaticAberrationShiftsRedAndBlueOnly) {
    for (auto [amount, d] : {std::pair{0.3f, 1}, std::pair{2.5f, 3}, std::pair{1e12f, 20}, std::pair{kInf, 20}}) {
        Settings s = quietSettings();
        s.chromaticAberration = amount;
        const Image image = chained(coordinateImage(20, 2), s);
        for (int32_t x = 0; x < 20; ++x) {
            EXPECT_EQ(image.at(x, 1).r, std::min(x + d, 19) / 1000.0f) << amount;
            EXPECT_EQ(image.at(x, 1).g, 1 / 1000.0f);
            EXPECT_EQ(image.at(x, 1).b, std::max(x - d, 0) / 1000.0f + 0.5f) << amount;
            EXPECT_EQ(image.at(x, 1).a, 1.0f);
        }
    }
}

TEST(PostEffects, LensDistortionReadsOutwardAroundAFixedCentre) {
    Settings s = quietSettings();
    s.lensDistortion = 0.4f;
    // 41 x 21, centre (20, 10). At x = 30: nx = 0.5, f = 1.075, source column 30.75.
    const Image barrel = chained(coordinateImage(41, 21), s);
    EXPECT_FLOAT_EQ(barrel.at(20, 10).r, 0.020f);
    EXPECT_NEAR(barrel.at(30, 10).r, 0.03075f, 1e-6f);
    EXPECT_FLOAT_EQ(barrel.at(40, 10).r, 0.040f);  // clamped to the last column
    s.lensDistortion = -0.4f;  // pincushion; each axis normalised alone, so the corner has r2 = 2
    const Image pincushion = chained(coordinateImage(41, 21), s);
    EXPECT_NEAR(pincushion.at(0, 0).r, 0.012f, 1e-6f);
    EXPECT_NEAR(pincushion.at(0, 0).g, 0.006f, 1e-6f);
}

Settings everyStageOn(int32_t seed, int32_t frame) {
    Settings s = quietSettings();
    s.lensDistortion = 0.3f;
    s.fisheye = 0.2f;
    s.radialBlur = 0.4f;
    s.glitchAmount = 0.9f;
    s.chromaticAberration = 3.0f;
    s.scanline = 0.5f;
    s.noise = 0.2f;
    s.vignette = 0.4f;
    s.vhsFlicker = 0.5f;
    s.invertAmount = 0.2f;
    s.asciiMode = ormel::AsciiMode::Overlay;
    s.asciiAmount = 0.5f;
    s.seed = seed;
    s.frameNumber = frame;
    return s;
}

TEST(PostEffects, RepeatsPerSeedAndFrameAndSurvivesHostileInput) {
    const Image original = patternImage(48, 32, 1);
    const Image first = chained(original, everyStageOn(99, 3));
    EXPECT_TRUE(sameImage(first, chained(original, everyStageOn(99, 3))));
    EXPECT_FALSE(sameImage(first, chained(original, everyStageOn(99, 4))));
    EXPECT_FALSE(sameImage(first, chained(original, everyStageOn(100, 3))));

    Settings s = everyStageOn(INT32_MAX, INT32_MIN);
    s.lensDistortion = -kInf;
    s.fisheye = kInf;
    s.radialBlur = kInf;
    s.glitchAmount = 3e38f;
    s.chromaticAberration = kInf;
    s.scanline = kNaN;
    s.noise = kInf;
    s.vignette = -kInf;
    s.vhsFlicker = kNaN;
    s.invertAmount = 1e30f;
    s.asciiMode = ormel::AsciiMode::Replace;
    s.asciiAmount = kInf;
    s.asciiCellSize = INT32_MIN;
    Image hostile = original;
    hostile.at(3, 3).r = kNaN;
    hostile.at(9, 9).g = kInf;
    EXPECT_TRUE(sameImage(chained(hostile, s), chained(hostile, s)));
    EXPECT_TRUE(chained(Image(0, 9), s).pixels.empty());
}

}  // namespace
}  // namespace ormel
