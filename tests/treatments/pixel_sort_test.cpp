#include "treatments/pixel_sort.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "overlay/hash.h"
#include "tests/treatments/test_images.h"
#include "treatments/box_blur.h"
#include "treatments/gpu/pixel_sort_gpu.h"

namespace ormel {
namespace {

using testing::allFinite;
using testing::patternImage;
using testing::samePixel;
using testing::sameImage;

float lum(const Pixel& p) { return (0.2126f * p.r + 0.7152f * p.g) + 0.0722f * p.b; }

// Processor engine, every step on except what a test switches off.
Settings sortSettings() {
    Settings s;
    s.pixelSortEnable = true;
    s.renderEngine = 0;
    s.pixelSortScope = 1;
    return s;
}

// Sorting alone, deterministic: full amount, no tint, no randomness, no blur or glow.
Settings plainSort(int32_t length) {
    Settings s = sortSettings();
    s.pixelSortRandomize = false;
    s.pixelSortAmount = 1.0f;
    s.pixelSortColorMix = 0.0f;
    s.pixelSortBlur = 0.0f;
    s.pixelSortGlow = 0.0f;
    s.pixelSortLength = length;
    s.pixelSortThreshold = 0.04f;
    return s;
}

bool descendingCoin(int32_t line, int32_t start, const Settings& s, bool vertical) {
    return hash01(line, start, s.frameNumber, seedPlus(s.seed, vertical ? 1223 : 1231)) > 0.5f;
}

// A single row of bright, distinct pixels, with a dark (inactive) pixel at each given column.
Image brightRow(int32_t width, const std::vector<int32_t>& darkColumns) {
    Image row(width, 1);
    for (int32_t x = 0; x < width; ++x) {
        const float v = 0.2f + 0.75f * hash01(x, 7, 0, 99);
        row.at(x, 0) = Pixel{v, v * 0.5f, 1.0f - v, 1.0f};
    }
    for (int32_t x : darkColumns) row.at(x, 0) = Pixel{0.0f, 0.0f, 0.0f, 1.0f};
    return row;
}

TEST(PixelSort, DisabledOrTooWeakLeavesImageUntouched) {
    const Image original = patternImage(30, 20);
    Settings off = sortSettings();
    off.pixelSortEnable = false;
    Image image = original;
    applyPixelSort(image, off);
    EXPECT_TRUE(sameImage(image, original));

    for (float amount : {0.001f, 0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()}) {
        Settings weak = sortSettings();
        weak.pixelSortAmount = amount;
        image = original;
        applyPixelSort(image, weak);
        EXPECT_TRUE(sameImage(image, original)) << amount;
    }
}

TEST(PixelSort, SegmentsHoldTheirOwnPixelsInLuminanceOrder) {
    const Settings s = plainSort(4);
    const Image original = brightRow(16, {10});
    Image image = original;
    applyPixelSortAxis(image, s, false);
    // Active runs [0, 10) and [11, 16) cut at length 4: [0,4) [4,8) [8,10) [11,15) [15,16).
    const std::vector<std::pair<int32_t, int32_t>> segments = {{0, 4}, {4, 8}, {8, 10}, {11, 15}};
    for (auto [j0, e] : segments) {
        std::vector<Pixel> expected(original.pixels.begin() + j0, original.pixels.begin() + e);
        const bool descending = descendingCoin(0, j0, s, false);
        std::stable_sort(expected.begin(), expected.end(), [&](const Pixel& a, const Pixel& b) {
            return descending ? lum(a) > lum(b) : lum(a) < lum(b);
        });
        for (int32_t k = 0; k < e - j0; ++k) {
            EXPECT_TRUE(samePixel(image.at(j0 + k, 0), expected[static_cast<size_t>(k)])) << j0 << "+" << k;
        }
    }
    // The dark pixel and the lone one-pixel segment at the end are never touched.
    EXPECT_TRUE(samePixel(image.at(10, 0), original.at(10, 0)));
    EXPECT_TRUE(samePixel(image.at(15, 0), original.at(15, 0)));
}

TEST(PixelSort, EqualLuminancesKeepTheirOrder) {
    // Same colour, different alpha: the sort key ties, so alpha must keep its order
    // in both directions. Scan many rows so both coins come up.
    Settings s = plainSort(512);
    Image image(6, 40);
    for (int32_t y = 0; y < 40; ++y) {
        for (int32_t x = 0; x < 6; ++x) {
            const bool bright = x % 2 == 0;
            image.at(x, y) = Pixel{bright ? 0.9f : 0.5f, 0.5f, 0.5f, 0.1f * static_cast<float>(x + 1)};
        }
    }
    applyPixelSortAxis(image, s, false);
    int descendingRows = 0;
    for (int32_t y = 0; y < 40; ++y) {
        const bool descending = descendingCoin(y, 0, s, false);
        descendingRows += descending ? 1 : 0;
        const int32_t brightFirst = descending ? 0 : 3;
        const int32_t dimFirst = descending ? 3 : 0;
        for (int32_t k = 0; k < 3; ++k) {
            EXPECT_FLOAT_EQ(image.at(brightFirst + k, y).a, 0.1f * static_cast<float>(2 * k + 1)) << y;
            EXPECT_FLOAT_EQ(image.at(dimFirst + k, y).a, 0.1f * static_cast<float>(2 * k + 2)) << y;
        }
    }
    EXPECT_GT(descendingRows, 0);
    EXPECT_LT(descendingRows, 40);
}

TEST(PixelSort, LengthIsClampedToTwoAnd512) {
    const Image original = patternImage(700, 3, 4);
    auto sortedWith = [&](int32_t length) {
        Settings s = plainSort(length);
        s.pixelSortThreshold = 0.0f;  // every pixel with some brightness is active
        Image image = original;
        applyPixelSortAxis(image, s, false);
        return image;
    };
    EXPECT_TRUE(sameImage(sortedWith(1), sortedWith(2)));
    EXPECT_TRUE(sameImage(sortedWith(-50), sortedWith(2)));
    EXPECT_TRUE(sameImage(sortedWith(10000), sortedWith(512)));
    EXPECT_TRUE(sameImage(sortedWith(INT_MAX), sortedWith(512)));
    EXPECT_FALSE(sameImage(sortedWith(300), sortedWith(512)));
    EXPECT_FALSE(sameImage(sortedWith(2), original));
}

TEST(PixelSort, RandomisedRunIsRotatedAndMixedByItsDraws) {
    // randomAmount 0 keeps the mix at the amount, so only the rotation remains to check.
    Settings s = plainSort(512);
    s.pixelSortRandomize = true;
    s.pixelSortRandomAmount = 0.0f;
    s.pixelSortThreshold = 0.1f;
    const int32_t n = 12;
    Image original(n, 64);
    for (int32_t y = 0; y < original.height; ++y) {
        for (int32_t x = 0; x < n; ++x) {
            const float v = 0.2f + 0.7f * hash01(x, y, 3, 3);
            original.at(x, y) = Pixel{v, v, v, 1.0f};
        }
    }
    Image image = original;
    applyPixelSortAxis(image, s, false);

    const float probability = std::min(1.0f, 0.3f + 0.7f * 1.0f + 0.25f * 0.0f);
    int rotatedRows = 0;
    for (int32_t y = 0; y < original.height; ++y) {
        // With amount 1 the randomised limit of 0.35..1.3 x 512 always covers the row.
        ASSERT_LE(hash01(y, 0, s.frameNumber, seedPlus(s.seed, 1211)), probability);
        std::vector<Pixel> sorted(original.pixels.begin() + y * n, original.pixels.begin() + (y + 1) * n);
        const bool descending = descendingCoin(y, 0, s, false);
        std::stable_sort(sorted.begin(), sorted.end(), [&](const Pixel& a, const Pixel& b) {
            return descending ? lum(a) > lum(b) : lum(a) < lum(b);
        });
        const int32_t offset = static_cast<int32_t>(static_cast<float>(n) * hash01(y, 0, s.frameNumber, seedPlus(s.seed, 1259)));
        rotatedRows += offset != 0 ? 1 : 0;
        for (int32_t k = 0; k < n; ++k) {
            EXPECT_TRUE(samePixel(image.at(k, y), sorted[static_cast<size_t>((offset + k) % n)])) << y << "," << k;
        }
    }
    EXPECT_GT(rotatedRows, 0);
}

TEST(PixelSort, TintBrightensAboveOne) {
    Settings s = plainSort(512);
    s.pixelSortColorMix = 1.0f;
    s.pixelSortColor = Pixel{1.0f, 0.0f, 0.0f, 1.0f};
    Image image(2, 1, Pixel{1.0f, 1.0f, 1.0f, 0.75f});
    applyPixelSortAxis(image, s, false);
    for (const Pixel& p : image.pixels) {
        EXPECT_FLOAT_EQ(p.r, 1.65f * lum(Pixel{1.0f, 1.0f, 1.0f, 1.0f}));
        EXPECT_GT(p.r, 1.64f);
        EXPECT_EQ(p.g, 0.0f);
        EXPECT_EQ(p.b, 0.0f);
        EXPECT_EQ(p.a, 0.75f);
    }
}

TEST(PixelSort, ActivityIsAlphaOnTheOverlayAndLuminanceElsewhere) {
    // Bright but transparent pixels next to dark but opaque ones.
    Image image(8, 1);
    for (int32_t x = 0; x < 8; ++x) {
        // Blue values in the order 0, 3, 2, 1 so neither sort direction leaves a run as it was.
        const float step = static_cast<float>((x * 3) % 4);
        image.at(x, 0) = x < 4 ? Pixel{0.9f, 0.8f, 0.1f * step, 0.0f} : Pixel{0.01f, 0.0f, 0.002f * step, 1.0f};
    }
    Settings overlay = plainSort(512);
    overlay.pixelSortScope = 0;
    Image sortedOverlay = image;
    applyPixelSortAxis(sortedOverlay, overlay, false);
    for (int32_t x = 0; x < 4; ++x) EXPECT_TRUE(samePixel(sortedOverlay.at(x, 0), image.at(x, 0)));
    EXPECT_FALSE(sameImage(sortedOverlay, image));

    for (int32_t scope : {1, 7, -2}) {
        Settings frame = plainSort(512);
        frame.pixelSortScope = scope;
        Image sortedFrame = image;
        applyPixelSortAxis(sortedFrame, frame, false);
        for (int32_t x = 4; x < 8; ++x) EXPECT_TRUE(samePixel(sortedFrame.at(x, 0), image.at(x, 0))) << scope;
        EXPECT_FALSE(sameImage(sortedFrame, image)) << scope;
    }
}

TEST(PixelSort, NothingActiveMeansNothingSorted) {
    const Image original = patternImage(25, 15, 8);
    Settings s = plainSort(72);
    s.pixelSortThreshold = 1.0f;
    Image image = original;
    applyPixelSortAxis(image, s, true);
    EXPECT_TRUE(sameImage(image, original));

    // A fully transparent overlay layer: blurs run but nothing lights up.
    Settings layerSettings = sortSettings();
    layerSettings.pixelSortScope = 0;
    Image layer = patternImage(25, 15, 8);
    for (Pixel& p : layer.pixels) p.a = 0.0f;
    applyPixelSort(layer, layerSettings);
    for (const Pixel& p : layer.pixels) EXPECT_EQ(p.a, 0.0f);
}

TEST(PixelSort, MixedDirectionSortsTheHorizontalResultAgain) {
    Settings s = sortSettings();
    s.pixelSortBlur = 0.0f;
    s.pixelSortGlow = 0.0f;
    const Image original = patternImage(64, 48, 6);

    Settings vertical = s;
    vertical.pixelSortDirection = 1;
    Image verticalOnly = original;
    applyPixelSort(verticalOnly, vertical);

    Settings mixed = s;
    mixed.pixelSortDirection = 2;
    Image both = original;
    applyPixelSort(both, mixed);
    EXPECT_FALSE(sameImage(both, verticalOnly));

    Image byHand = original;
    applyPixelSortAxis(byHand, s, false);
    applyPixelSortAxis(byHand, s, true);
    EXPECT_TRUE(sameImage(both, byHand));

    // Unknown directions run no pass at all.
    Settings unknown = s;
    unknown.pixelSortDirection = 3;
    Image untouched = original;
    applyPixelSort(untouched, unknown);
    EXPECT_TRUE(sameImage(untouched, original));
}

TEST(PixelSort, GlowLiftsPixelsAboveTheGateTowardTheColour) {
    // Uniform grey of luminance 0.5, threshold 0.9: nothing sorts, blurs keep it uniform,
    // the gate is 0.45, so w = 0.9 and k = 0.65 * 0.6 * 0.9.
    Settings s = sortSettings();
    s.pixelSortThreshold = 0.9f;
    s.pixelSortGlow = 0.6f;
    s.pixelSortBlur = 0.0f;
    s.pixelSortColor = Pixel{1.0f, 0.5f, 0.0f, 1.0f};
    const float grey = 0.5f / (0.2126f + 0.7152f + 0.0722f);
    Image image(10, 10, Pixel{grey, grey, grey, 0.5f});
    applyPixelSort(image, s);
    const float w = 1.8f * lum(Pixel{grey, grey, grey, 1.0f});
    const float k = 0.65f * 0.6f * w;
    EXPECT_NEAR(image.at(4, 4).r, grey * (1 - k) + w * k, 1e-5f);
    EXPECT_NEAR(image.at(4, 4).g, grey * (1 - k) + 0.5f * w * k, 1e-5f);
    EXPECT_NEAR(image.at(4, 4).b, grey * (1 - k), 1e-5f);
    EXPECT_NEAR(image.at(4, 4).a, 0.5f * (1 - k) + k, 1e-5f);

    // Half the threshold above the luminance closes the gate.
    s.pixelSortThreshold = 1.0f;
    const float dimmer = 0.45f / (0.2126f + 0.7152f + 0.0722f);
    Image gated(10, 10, Pixel{dimmer, dimmer, dimmer, 0.5f});
    const Image before = gated;
    applyPixelSort(gated, s);
    EXPECT_TRUE(sameImage(gated, before));
}

TEST(PixelSort, BlurStepsUseTheirRadiiAndMixes) {
    // Nothing active (threshold 1), so only the pre- and post-blur act: radii
    // round(4.5 * 0.2) = 1 and round(10 * 0.2) = 2, mixes 0.09 and 0.2.
    Settings s = sortSettings();
    s.pixelSortThreshold = 1.0f;
    s.pixelSortBlur = 0.2f;
    s.pixelSortGlow = 0.0f;
    const Image original = patternImage(20, 16, 11);
    Image image = original;
    applyPixelSort(image, s);

    Image expected = original;
    auto soften = [&](int radius, float mix) {
        const Image blurred = blurredImage(expected, radius);
        for (size_t i = 0; i < expected.pixels.size(); ++i) {
            Pixel& p = expected.pixels[i];
            const Pixel& q = blurred.pixels[i];
            const float keep = 1.0f - mix;
            p = Pixel{p.r * keep + q.r * mix, p.g * keep + q.g * mix, p.b * keep + q.b * mix, p.a * keep + q.a * mix};
        }
    };
    soften(1, 0.45f * 0.2f);
    soften(2, 0.2f);
    EXPECT_TRUE(sameImage(image, expected));
}

TEST(PixelSort, SameSeedAndFrameRepeatOthersChange) {
    const Image original = patternImage(80, 60, 1);
    auto render = [&](int32_t seed, int32_t frame) {
        Settings s = sortSettings();
        s.seed = seed;
        s.frameNumber = frame;
        Image image = original;
        applyPixelSort(image, s);
        return image;
    };
    const Image first = render(1337, 12);
    EXPECT_TRUE(sameImage(first, render(1337, 12)));
    EXPECT_FALSE(sameImage(first, render(1337, 13)));
    EXPECT_FALSE(sameImage(first, render(1338, 12)));
    EXPECT_TRUE(allFinite(render(INT_MAX, INT_MIN)));
}

TEST(PixelSort, DecliningGpuLeavesTheProcessorResult) {
    const Image original = patternImage(40, 30, 2);
    Image probe = original;
    Settings gpu = sortSettings();
    gpu.renderEngine = 1;
    if (applyPixelSortGpu(probe, gpu)) GTEST_SKIP() << "a GPU back end is available";
    Image viaGpuChoice = original;
    applyPixelSort(viaGpuChoice, gpu);
    Image processor = original;
    applyPixelSort(processor, sortSettings());
    EXPECT_TRUE(sameImage(viaGpuChoice, processor));
}

TEST(PixelSort, HostileSettingsAndPixelsStayDefined) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Image image = patternImage(50, 40, 3);
    image.at(4, 4) = Pixel{nan, 0.5f, 0.5f, 1.0f};
    image.at(5, 4) = Pixel{inf, -inf, 0.5f, 1.0f};
    image.at(6, 4) = Pixel{-3e38f, 3e38f, 3e38f, nan};

    Settings s = sortSettings();
    s.pixelSortScope = 0;  // alpha decides, so NaN colours enter segments and the sort
    s.pixelSortLength = INT_MAX;
    s.pixelSortBlur = inf;
    s.pixelSortGlow = 1e30f;
    s.pixelSortAmount = inf;
    s.pixelSortRandomAmount = nan;
    s.pixelSortThreshold = nan;
    s.pixelSortColorMix = -inf;
    Image hostile = image;
    applyPixelSort(hostile, s);
    EXPECT_EQ(hostile.width, 50);

    s.pixelSortThreshold = -1.0f;
    s.pixelSortBlur = nan;
    s.pixelSortGlow = nan;
    s.pixelSortLength = INT_MIN;
    hostile = image;
    applyPixelSort(hostile, s);
    Image again = image;
    applyPixelSort(again, s);
    EXPECT_TRUE(sameImage(hostile, again));

    Image empty(0, 5);
    applyPixelSort(empty, sortSettings());
    applyPixelSortAxis(empty, sortSettings(), true);
    EXPECT_TRUE(empty.pixels.empty());
}

}  // namespace
}  // namespace ormel
