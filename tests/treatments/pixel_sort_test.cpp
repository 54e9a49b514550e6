#include "treatments/pixel_sort.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "overlay/hash.h"
#include "tests/support/thread_runners.h"
#include "tests/treatments/test_images.h"
#include "treatments/box_blur.h"
#include "treatments/clear_map.h"
#include "treatments/pixel_sort_order.h"

namespace ormel {
namespace {

using testing::patternImage;
using testing::samePixel;
using testing::sameImage;

float lum(const Pixel& p) { return (0.2126f * p.r + 0.7152f * p.g) + 0.0722f * p.b; }

// Full amount, no tint, no randomness, no blur or glow: segments hold exactly their own pixels.
Settings plainSort(int32_t length) {
    Settings s = testing::quietSettings();
    s.pixelSortEnable = true;
    s.pixelSortScope = ormel::SortScope::WholePicture;
    s.pixelSortRandomize = false;
    s.pixelSortAmount = 1.0f;
    s.pixelSortColorMix = 0.0f;
    s.pixelSortBlur = 0.0f;
    s.pixelSortGlow = 0.0f;
    s.pixelSortLength = length;
    s.pixelSortThreshold = 0.0f;  // anything not black is active
    return s;
}

// The run [j0, j0 + n) of row y sorted by luminance in the direction of its coin
// (keyed 1231 for rows; 1223 for columns, whose line index is then y).
std::vector<Pixel> sortedRun(const Image& image, int32_t y, int32_t j0, int32_t n, const Settings& s,
                             int32_t orderKey = 1231) {
    std::vector<Pixel> run(image.pixels.begin() + y * image.width + j0, image.pixels.begin() + y * image.width + j0 + n);
    const bool descending = hash01(y, j0, s.frameNumber, seedPlus(s.seed, orderKey)) > 0.5f;
    std::stable_sort(run.begin(), run.end(), [&](const Pixel& a, const Pixel& b) {
        return descending ? lum(a) > lum(b) : lum(a) < lum(b);
    });
    return run;
}

TEST(PixelSort, SegmentsAreCutAtDarkPixelsAndTheLengthLimit) {
    Image image = patternImage(16, 1, 4);
    image.at(10, 0) = Pixel{0.0f, 0.0f, 0.0f, 1.0f};
    const Image original = image;
    const Settings s = plainSort(4);
    applyPixelSortAxis(image, s, false);
    for (auto [j0, n] : {std::pair{0, 4}, std::pair{4, 4}, std::pair{8, 2}, std::pair{11, 4}}) {
        const std::vector<Pixel> expected = sortedRun(original, 0, j0, n, s);
        for (int32_t k = 0; k < n; ++k) EXPECT_TRUE(samePixel(image.at(j0 + k, 0), expected[k])) << j0 << "+" << k;
    }
    EXPECT_TRUE(samePixel(image.at(10, 0), original.at(10, 0)));  // inactive
    EXPECT_TRUE(samePixel(image.at(15, 0), original.at(15, 0)));  // a run of one

    auto sortedWith = [](int32_t length) {
        Image wide = patternImage(700, 3, 4);
        applyPixelSortAxis(wide, plainSort(length), false);
        return wide;
    };
    EXPECT_TRUE(sameImage(sortedWith(1), sortedWith(2)));
    EXPECT_TRUE(sameImage(sortedWith(INT_MIN), sortedWith(2)));
    EXPECT_TRUE(sameImage(sortedWith(10000), sortedWith(512)));
    EXPECT_FALSE(sameImage(sortedWith(300), sortedWith(512)));
}

TEST(PixelSort, EqualLuminancesKeepTheirOrderBothWays) {
    // Same colour, different alpha: ties in the key, so alpha order must survive. The
    // columns of the transposed picture must sort exactly like the rows.
    Image rows(6, 40), columns(40, 6);
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 6; ++x)
            rows.at(x, y) = columns.at(y, x) = Pixel{x % 2 ? 0.5f : 0.9f, 0.5f, 0.5f, 0.1f * (x + 1)};
    const Image original = rows;
    const Settings s = plainSort(512);
    applyPixelSortAxis(rows, s, false);
    applyPixelSortAxis(columns, s, true);
    for (int32_t y = 0; y < 40; ++y) {
        const std::vector<Pixel> byRow = sortedRun(original, y, 0, 6, s);
        const std::vector<Pixel> byColumn = sortedRun(original, y, 0, 6, s, 1223);
        for (int32_t x = 0; x < 6; ++x) {
            EXPECT_EQ(rows.at(x, y).a, byRow[x].a) << y;
            EXPECT_EQ(columns.at(y, x).a, byColumn[x].a) << y;
        }
    }
}

// Runs of every length up to 70 holding NaN keys (below every number, equal to
// each other), -0 and +0 (equal) and repeated keys, in both directions: the
// result is the stable sort under that order, told apart by alpha.
TEST(PixelSort, NaNAndSignedZeroKeysSortStablyInEveryRunLength) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Pixel kinds[] = {{nan, 0.5f, 0.5f, 0.0f}, {0.0f, 0.0f, 0.0f, 0.0f},  {-0.0f, -0.0f, -0.0f, 0.0f},
                           {0.3f, 0.3f, 0.3f, 0.0f}, {-1.0f, 0.2f, 0.0f, 0.0f}, {0.9f, 0.1f, 0.4f, 0.0f}};
    auto less = [](float a, float b) {
        if (std::isnan(a)) return !std::isnan(b);
        return !std::isnan(b) && a < b;
    };
    Settings s = plainSort(512);
    s.pixelSortScope = ormel::SortScope::OverlayOnly;  // alpha decides activity, so every key here takes part
    for (int32_t n = 2; n <= 70; ++n) {
        Image image(n, 8);
        for (int32_t y = 0; y < 8; ++y)
            for (int32_t x = 0; x < n; ++x) {
                Pixel p = kinds[static_cast<size_t>(hash01(x, y, n, 5) * 6.0f)];
                p.a = 0.5f + static_cast<float>(x) / 256.0f;  // active, and names the pixel
                image.at(x, y) = p;
            }
        const Image original = image;
        applyPixelSortAxis(image, s, false);
        for (int32_t y = 0; y < 8; ++y) {
            std::vector<Pixel> run(original.pixels.begin() + y * n, original.pixels.begin() + (y + 1) * n);
            const bool descending = hash01(y, 0, s.frameNumber, seedPlus(s.seed, 1231)) > 0.5f;
            std::stable_sort(run.begin(), run.end(), [&](const Pixel& a, const Pixel& b) {
                return descending ? less(lum(b), lum(a)) : less(lum(a), lum(b));
            });
            for (int32_t x = 0; x < n; ++x) ASSERT_EQ(image.at(x, y).a, run[x].a) << n << " " << y << " " << x;
        }
    }
}

// Ranks against std::stable_sort for every run length across the vector
// blocks (16 keys) and past the longest ranked run, where the merge sort takes
// over; keys drawn from a few values (ties) or from the whole range, with one
// RunOrder reused so a longer earlier run's leftovers are in place.
TEST(PixelSortOrder, RanksAreTheStableOrderOfTheKeys) {
    RunOrder run;
    for (int32_t n : {1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 32, 33, 47, 64, 93, 127, 200, 383, 384, 385, 400, 700, 5}) {
        for (int32_t spread : {3, 0}) {
            std::vector<int32_t> keys(static_cast<size_t>(n));
            for (int32_t m = 0; m < n; ++m) {
                const uint32_t h = static_cast<uint32_t>(hash01(m, n, spread, 11) * 16777216.0f);
                keys[static_cast<size_t>(m)] =
                    spread != 0 ? static_cast<int32_t>(h % spread) - 1 : static_cast<int32_t>(h * 0x9E3779B1u);
            }
            keys[0] = INT32_MIN;
            keys[static_cast<size_t>(n - 1)] = n > 2 ? INT32_MAX : keys[static_cast<size_t>(n - 1)];
            std::copy(keys.begin(), keys.end(), runKeys(run, n));
            rankRun(run, n);
            std::vector<int32_t> order(static_cast<size_t>(n));
            for (int32_t m = 0; m < n; ++m) order[static_cast<size_t>(m)] = m;
            std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
                return keys[static_cast<size_t>(a)] < keys[static_cast<size_t>(b)];
            });
            for (int32_t r = 0; r < n; ++r)
                ASSERT_EQ(run.ranks[static_cast<size_t>(order[static_cast<size_t>(r)])], r) << n << " " << spread;
        }
    }
    EXPECT_LT(luminanceOrderKey(std::numeric_limits<float>::quiet_NaN()), luminanceOrderKey(-INFINITY));
    EXPECT_EQ(luminanceOrderKey(-0.0f), luminanceOrderKey(0.0f));
    EXPECT_LT(luminanceOrderKey(-1e-45f), luminanceOrderKey(0.0f));
    EXPECT_LT(luminanceOrderKey(0.0f), luminanceOrderKey(1e-45f));
    EXPECT_LT(luminanceOrderKey(-2.0f), luminanceOrderKey(-1.0f));
}

// Where two NaNs meet in a sum or product, the one kept is fixed: the tint's
// over the pixel's in a sorted run, the pixel's over the blurred copy's in the
// softening. A run with a NaN takes the pixel-by-pixel path, a run without
// one the vector path; both must give the plain arithmetic elsewhere.
TEST(PixelSort, NaNPayloadsFollowAFixedOperandOrder) {
    auto nanWith = [](uint32_t payload) {
        const uint32_t bits = 0x7F800000u | payload;
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    };
    auto bitsOf = [](float f) {
        uint32_t b;
        std::memcpy(&b, &f, sizeof b);
        return b;
    };
    Settings s = plainSort(512);
    s.pixelSortScope = ormel::SortScope::OverlayOnly;
    s.pixelSortColorMix = 0.5f;
    s.pixelSortColor = Pixel{nanWith(0x12345u), 0.25f, 0.5f, 1.0f};  // a signalling NaN
    Image image(3, 2, Pixel{0.5f, 0.25f, 0.75f, 1.0f});
    image.at(0, 0) = Pixel{nanWith(0x400777u), 0.2f, 0.2f, 1.0f};
    image.at(1, 0) = Pixel{0.1f, 0.3f, 0.2f, 1.0f};
    image.at(0, 1) = Pixel{0.1f, 0.3f, 0.2f, 1.0f};
    applyPixelSortAxis(image, s, false);
    bool sawTintNaN = false;
    for (int32_t x = 0; x < 3; ++x) {
        const float r = image.at(x, 0).r;
        if (r != r) {
            EXPECT_EQ(bitsOf(r), 0x7F812345u | 0x00400000u);  // the colour's NaN, made quiet
            sawTintNaN = true;
        }
    }
    EXPECT_TRUE(sawTintNaN);

    Settings plain = plainSort(512);
    plain.pixelSortColorMix = 0.5f;
    plain.pixelSortColor = Pixel{1.0f, 0.25f, 0.5f, 1.0f};
    Image finite(4, 1);
    for (int32_t x = 0; x < 4; ++x) finite.at(x, 0) = Pixel{0.2f * x, 0.7f - 0.1f * x, 0.3f, 1.0f};
    const Image before = finite;
    applyPixelSortAxis(finite, plain, false);
    for (int32_t x = 0; x < 4; ++x) {
        // The run is four pixels sorted; each landing pixel gets its tinted self.
        const std::vector<Pixel> sorted = sortedRun(before, 0, 0, 4, plain);
        const Pixel& q = sorted[static_cast<size_t>(x)];
        const float w = std::max(std::max(q.r, q.g), std::max(q.b, 1.65f * lum(q)));
        EXPECT_EQ(finite.at(x, 0).r, q.r * 0.5f + (1.0f * w) * 0.5f) << x;
        EXPECT_EQ(finite.at(x, 0).g, q.g * 0.5f + (0.25f * w) * 0.5f) << x;
        EXPECT_EQ(finite.at(x, 0).a, q.a) << x;
    }

    // Softening: a NaN pixel beside a NaN neighbour keeps its own payload.
    Settings soft = testing::quietSettings();
    soft.pixelSortEnable = true;
    soft.pixelSortDirection = static_cast<ormel::SortDirection>(3);  // no sorting pass: the softenings and the glow alone
    soft.pixelSortBlur = 0.2f;
    soft.pixelSortGlow = 0.0f;
    Image layer(5, 1, Pixel{0.0f, 0.0f, 0.0f, 0.0f});
    layer.at(2, 0).g = nanWith(0x400abcu);
    layer.at(3, 0).g = nanWith(0x400def);
    applyPixelSort(layer, soft);
    EXPECT_EQ(bitsOf(layer.at(2, 0).g), 0x7FC00ABCu);
    EXPECT_EQ(bitsOf(layer.at(3, 0).g), 0x7FC00DEFu);
}

// Bands of rows and of columns, cut anywhere (including inside a block of
// gathered columns), real threads or reversed order: the same bits as one band.
TEST(PixelSort, AnyBandCountGivesTheSameBits) {
    Image original = patternImage(83, 71, 9);
    original.at(40, 30) = Pixel{std::numeric_limits<float>::quiet_NaN(), 0.5f, 0.5f, 1.0f};
    Settings s = testing::quietSettings();
    s.pixelSortEnable = true;
    s.pixelSortScope = ormel::SortScope::WholePicture;
    s.pixelSortLength = 20;
    Image want = original;
    applyPixelSort(want, s);
    for (int32_t n : {2, 3, 5, 17, 100}) {
        Image threaded = original, reversed = original;
        applyPixelSort(threaded, s, testing_support::threadedBands(n));
        applyPixelSort(reversed, s, testing_support::reversedBands(n));
        EXPECT_TRUE(sameImage(threaded, want)) << n;
        EXPECT_TRUE(sameImage(reversed, want)) << n;
    }
}

// An overlay layer: clear but for strokes, so most of it is passed by. The
// passes told what is clear, and a scratch kept from other frames (larger,
// busy, with NaNs), must give the bits of passes that know nothing.
TEST(PixelSort, KnowingWhatIsClearChangesNoBits) {
    Image layer(211, 97, Pixel{0.0f, 0.0f, 0.0f, 0.0f});
    for (int x = 5; x < 200; ++x) layer.at(x, 20) = Pixel{hash01(x, 1, 0, 1), 0.5f, hash01(x, 2, 0, 1), 1.0f};
    for (int y = 30; y < 90; ++y) layer.at(150, y) = Pixel{0.9f, hash01(y, 3, 0, 1), 0.2f, 0.8f};
    // Column 130 lies in a block of columns that spans two stretches when the
    // columns are cut into three bands.
    for (int y = 25; y < 95; ++y) layer.at(130, y) = Pixel{hash01(y, 6, 0, 1), 0.7f, 0.3f, 1.0f};
    for (int x = 100; x < 190; ++x) layer.at(x, 75) = Pixel{hash01(x, 5, 0, 1), 0.4f, 0.1f, 1.0f};
    for (int y = 60; y < 64; ++y)
        for (int x = 60; x < 130; ++x) layer.at(x, y) = Pixel{0.3f, 0.6f, hash01(x, y, 0, 4), 1.0f};
    Settings s = testing::quietSettings();
    s.pixelSortEnable = true;
    s.pixelSortScope = ormel::SortScope::OverlayOnly;
    s.pixelSortLength = 40;
    s.pixelSortBlur = 0.3f;
    s.pixelSortGlow = 1.1f;

    ClearMap clear;
    resetClearMap(clear, layer);
    int marked = 0;
    for (int y = 0; y < layer.height; ++y) {
        remarkStretches(clear, layer, y, 0, layer.width);
        for (int st = 0; st < clear.perRow; ++st) marked += clear.isClear(y, st);
    }
    ASSERT_GT(marked, clear.perRow * layer.height / 2);
    for (bool vertical : {false, true}) {
        Image told = layer, blind = layer;
        applyPixelSortAxis(told, s, vertical, testing_support::threadedBands(3), clear);
        applyPixelSortAxis(blind, s, vertical);
        EXPECT_TRUE(sameImage(told, blind)) << vertical;
        EXPECT_FALSE(sameImage(told, layer)) << vertical;
    }

    Image fresh = layer;
    applyPixelSort(fresh, s);
    PixelSortScratch kept;
    Image busy = patternImage(300, 120, 5);
    busy.at(7, 7).r = std::numeric_limits<float>::quiet_NaN();
    Settings wholePicture = s;
    wholePicture.pixelSortScope = ormel::SortScope::WholePicture;
    applyPixelSort(busy, wholePicture, RowBands::single(), kept);
    for (int32_t bands : {1, 4}) {
        Image reused = layer;
        applyPixelSort(reused, s, testing_support::threadedBands(bands), kept);
        EXPECT_TRUE(sameImage(reused, fresh)) << bands;
    }
}

// The softenings are done as the blur's means arrive; they must equal
// softening the frame from a blurred copy, around the sort of its rows.
TEST(PixelSort, SofteningBeforeTheRowPassIsTheSameAsOnItsOwn) {
    const Image original = patternImage(61, 23, 4);
    Settings s = testing::quietSettings();
    s.pixelSortEnable = true;
    s.pixelSortScope = ormel::SortScope::WholePicture;
    s.pixelSortDirection = ormel::SortDirection::Horizontal;
    s.pixelSortBlur = 0.6f;
    s.pixelSortGlow = 0.0f;
    Image fused = original;
    applyPixelSort(fused, s);

    auto soften = [](Image& image, int radius, float t) {
        const Image blurred = blurredImage(image, radius);
        for (size_t i = 0; i < image.pixels.size(); ++i) {
            Pixel& p = image.pixels[i];
            const Pixel& b = blurred.pixels[i];
            p = Pixel{p.r * (1 - t) + b.r * t, p.g * (1 - t) + b.g * t, p.b * (1 - t) + b.b * t, p.a * (1 - t) + b.a * t};
        }
    };
    Image byHand = original;
    soften(byHand, 3, 0.45f * 0.6f);  // radius round(10 * 0.27)
    applyPixelSortAxis(byHand, s, false);
    soften(byHand, 6, 0.6f);
    EXPECT_TRUE(sameImage(fused, byHand));
}

TEST(PixelSort, RandomisedRunIsRotatedByItsDraw) {
    Settings s = plainSort(512);
    s.pixelSortRandomize = true;
    s.pixelSortRandomAmount = 0.0f;  // keeps the mix at 1 and the skip probability at 1
    const int32_t n = 12;
    Image image = patternImage(n, 64, 3);
    const Image original = image;
    applyPixelSortAxis(image, s, false);
    int rotated = 0;
    for (int32_t y = 0; y < 64; ++y) {
        const std::vector<Pixel> expected = sortedRun(original, y, 0, n, s);
        const int32_t offset = static_cast<int32_t>(n * hash01(y, 0, s.frameNumber, seedPlus(s.seed, 1259)));
        rotated += offset != 0;
        for (int32_t k = 0; k < n; ++k) EXPECT_TRUE(samePixel(image.at(k, y), expected[(offset + k) % n])) << y;
    }
    EXPECT_GT(rotated, 0);
}

TEST(PixelSort, ActivityAndTint) {
    // Bright transparent pixels, then dim opaque ones, each in a non-monotonic order.
    Image image(8, 1);
    for (int32_t x = 0; x < 8; ++x) {
        const float step = static_cast<float>((x * 3) % 4);
        image.at(x, 0) = x < 4 ? Pixel{0.9f, 0.8f, 0.1f * step, 0.0f} : Pixel{0.01f, 0.0f, 0.002f * step, 1.0f};
    }
    for (int32_t scope : {0, 1, 7}) {
        Settings s = plainSort(512);
        s.pixelSortScope = static_cast<ormel::SortScope>(scope);
        s.pixelSortThreshold = 0.04f;
        Image sorted = image;
        applyPixelSortAxis(sorted, s, false);
        const int32_t still = scope == 0 ? 0 : 4;  // alpha decides on the overlay, luminance elsewhere
        for (int32_t x = still; x < still + 4; ++x) EXPECT_TRUE(samePixel(sorted.at(x, 0), image.at(x, 0))) << scope;
        EXPECT_FALSE(sameImage(sorted, image)) << scope;
    }

    Settings s = plainSort(512);
    s.pixelSortColorMix = 1.0f;
    s.pixelSortColor = Pixel{1.0f, 0.0f, 0.0f, 1.0f};
    Image white(2, 1, Pixel{1.0f, 1.0f, 1.0f, 0.75f});
    applyPixelSortAxis(white, s, false);
    EXPECT_NEAR(white.at(0, 0).r, 1.65f, 1e-5f);  // values above 1 are kept
    EXPECT_EQ(white.at(1, 0).g, 0.0f);
    EXPECT_EQ(white.at(1, 0).a, 0.75f);
}

TEST(PixelSort, WholeEffectGatesDirectionsAndGlow) {
    const Image original = patternImage(64, 48, 6);
    auto run = [&](Settings s) {
        Image image = original;
        applyPixelSort(image, s);
        return image;
    };
    Settings s = testing::quietSettings();
    s.pixelSortEnable = true;
    s.pixelSortScope = ormel::SortScope::WholePicture;
    EXPECT_TRUE(sameImage(run([&] { Settings o = s; o.pixelSortEnable = false; return o; }()), original));
    for (float amount : {0.001f, -1.0f, std::numeric_limits<float>::quiet_NaN()}) {
        Settings weak = s;
        weak.pixelSortAmount = amount;
        EXPECT_TRUE(sameImage(run(weak), original)) << amount;
    }

    s.pixelSortBlur = 0.0f;
    s.pixelSortGlow = 0.0f;
    Settings vertical = s, mixed = s, unknown = s;
    vertical.pixelSortDirection = ormel::SortDirection::Vertical;
    mixed.pixelSortDirection = ormel::SortDirection::Mixed;
    unknown.pixelSortDirection = static_cast<ormel::SortDirection>(3);
    EXPECT_FALSE(sameImage(run(mixed), run(vertical)));
    Image byHand = original;
    applyPixelSortAxis(byHand, s, false);
    applyPixelSortAxis(byHand, s, true);
    EXPECT_TRUE(sameImage(run(mixed), byHand));
    EXPECT_TRUE(sameImage(run(unknown), original));

    // Uniform grey of luminance 0.5 with threshold 0.9: nothing sorts, the gate is 0.45,
    // so w = 0.9 and k = 0.65 * 0.6 * 0.9.
    Settings glow = s;
    glow.pixelSortThreshold = 0.9f;
    glow.pixelSortGlow = 0.6f;
    glow.pixelSortColor = Pixel{1.0f, 0.5f, 0.0f, 1.0f};
    Image grey(10, 10, Pixel{0.5f, 0.5f, 0.5f, 0.5f});
    applyPixelSort(grey, glow);
    const float k = 0.65f * 0.6f * 0.9f;
    EXPECT_NEAR(grey.at(4, 4).r, 0.5f * (1 - k) + 0.9f * k, 1e-5f);
    EXPECT_NEAR(grey.at(4, 4).b, 0.5f * (1 - k), 1e-5f);
    EXPECT_NEAR(grey.at(4, 4).a, 0.5f * (1 - k) + k, 1e-5f);
    // A transparent overlay layer: blurs run, nothing is active, nothing lights up.
    glow.pixelSortScope = ormel::SortScope::OverlayOnly;
    glow.pixelSortBlur = 0.5f;
    Image layer = patternImage(20, 10);
    for (Pixel& p : layer.pixels) p.a = 0.0f;
    applyPixelSort(layer, glow);
    for (const Pixel& p : layer.pixels) EXPECT_EQ(p.a, 0.0f);
}

TEST(PixelSort, RepeatsPerSeedAndFrameAndSurvivesHostileInput) {
    auto render = [](int32_t seed, int32_t frame) {
        Settings s = testing::quietSettings();
        s.pixelSortEnable = true;
        s.pixelSortScope = ormel::SortScope::WholePicture;
        s.seed = seed;
        s.frameNumber = frame;
        Image image = patternImage(80, 60, 1);
        applyPixelSort(image, s);
        return image;
    };
    EXPECT_TRUE(sameImage(render(1337, 12), render(1337, 12)));
    EXPECT_FALSE(sameImage(render(1337, 12), render(1337, 13)));
    EXPECT_FALSE(sameImage(render(1337, 12), render(1338, 12)));
    EXPECT_TRUE(testing::allFinite(render(INT_MAX, INT_MIN)));

    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    Image image = patternImage(50, 40, 3);
    image.at(4, 4) = Pixel{nan, 0.5f, 0.5f, 1.0f};  // alpha makes it active on scope 0: NaN keys reach the sort
    image.at(5, 4) = Pixel{inf, -inf, 0.5f, 1.0f};
    image.at(6, 4) = Pixel{-3e38f, 3e38f, 3e38f, nan};
    Settings s = plainSort(INT_MAX);
    s.pixelSortScope = ormel::SortScope::OverlayOnly;
    s.pixelSortRandomize = true;
    s.pixelSortThreshold = -1.0f;
    s.pixelSortAmount = inf;
    s.pixelSortRandomAmount = nan;
    s.pixelSortColorMix = -inf;
    s.pixelSortBlur = inf;
    s.pixelSortGlow = 1e30f;
    Image first = image, second = image;
    applyPixelSort(first, s);
    applyPixelSort(second, s);
    EXPECT_TRUE(sameImage(first, second));
}

}  // namespace
}  // namespace ormel
