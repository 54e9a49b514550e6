#include "engine/detection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/engine/test_images.h"

namespace ormel {
namespace {

using testing_images::Box;
using testing_images::boxOf;
using testing_images::fillRect;
using testing_images::kBlack;
using testing_images::kRed;
using testing_images::plainKey;

std::vector<float> maskOf(const Image& image, const Settings& settings) {
    std::vector<float> mask;
    detectBlobs(image, settings, &mask);
    return mask;
}

Image row(std::initializer_list<Pixel> pixels) {
    Image image(static_cast<int32_t>(pixels.size()), 1);
    image.pixels.assign(pixels);
    return image;
}

Pixel grey(float v) { return Pixel{v, v, v, 1.0f}; }

TEST(DetectionKey, HueDistanceWrapsAcrossZero) {
    Settings s = plainKey();
    s.hueTolerance = 0.01f;
    s.softness = 0.001f;
    // Hue about 0.9983 (just below red), then hues 0.03 and 0.97.
    const Image image = row({{0.98f, 0.02f, 0.03f, 1.0f}, kBlack, {1.0f, 0.18f, 0.0f, 1.0f}, kBlack,
                             {1.0f, 0.0f, 0.18f, 1.0f}});
    EXPECT_EQ(maskOf(image, s), (std::vector<float>{1, 0, 0, 0, 0}));
}

TEST(DetectionKey, GreyTargetIsDecidedByLuminance) {
    Settings s = plainKey();
    s.targetColor = grey(0.5f);
    s.luminanceTolerance = 0.1f;
    s.saturationTolerance = 0.1f;
    s.hueTolerance = 0.01f;
    s.softness = 0.001f;
    const Image image = row({grey(0.55f), grey(0.7f), grey(0.42f), {0.5f, 0.4f, 0.5f, 1.0f}, grey(0.3f)});
    EXPECT_EQ(maskOf(image, s), (std::vector<float>{1, 0, 1, 0, 0}));
}

TEST(DetectionKey, LuminanceUsesUnclampedChannels) {
    Settings s = plainKey();
    s.targetColor = {2.0f, 0.0f, 0.0f, 1.0f};
    s.luminanceTolerance = 0.05f;
    s.softness = 0.001f;
    // (1, 0, 0) shares hue and saturation with the target but not its luminance 0.4252.
    const Image image = row({kRed, {2.0f, 0.0f, 0.0f, 1.0f}, {2.1f, 0.0f, 0.0f, 1.0f}});
    EXPECT_EQ(maskOf(image, s), (std::vector<float>{0, 1, 1}));
}

TEST(DetectionKey, SoftFallOffCutsAtItsMidpoint) {
    Settings s = plainKey();
    s.targetColor = grey(0.5f);
    s.luminanceTolerance = 0.1f;
    s.softness = 0.2f;
    // Distances 1.0, 1.09, 1.11 and 2.0: kept while d <= 1 + softness / 2.
    const Image image = row({grey(0.6f), grey(0.609f), grey(0.611f), grey(0.7f)});
    EXPECT_EQ(maskOf(image, s), (std::vector<float>{1, 1, 0, 0}));
    s.invertSelection = true;
    EXPECT_EQ(maskOf(image, s), (std::vector<float>{0, 0, 1, 1}));
}

TEST(DetectionKey, NonFiniteChannelsNeverMatch) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Settings s = plainKey();
    const Image image = row({kRed, {nan, 0.0f, 0.0f, 1.0f}, kRed, {inf, 0.0f, 0.0f, 1.0f}, kRed,
                             {1.0f, nan, 0.0f, 1.0f}, {1.0f, 0.0f, 0.0f, nan}});
    std::vector<float> mask;
    const std::vector<Blob> blobs = detectBlobs(image, s, &mask);
    // Alpha takes no part in the key; the NaN alpha only reaches the blob colour.
    EXPECT_EQ(mask, (std::vector<float>{1, 0, 1, 0, 1, 0, 1}));
    ASSERT_EQ(blobs.size(), 4u);
    s.invertSelection = true;
    EXPECT_EQ(maskOf(image, s), (std::vector<float>{0, 1, 0, 1, 0, 1, 0}));
}

TEST(DetectionKey, NonFiniteSettingsFallBackToTheFloors) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Settings s = plainKey();
    s.hueTolerance = nan;
    s.saturationTolerance = -4.0f;
    s.luminanceTolerance = nan;
    s.softness = nan;
    const Image image = row({kRed, {0.9f, 0.0f, 0.0f, 1.0f}, kBlack});
    EXPECT_EQ(maskOf(image, s), (std::vector<float>{1, 0, 0}));
    s.targetColor = {nan, 0.0f, 0.0f, 1.0f};
    EXPECT_EQ(maskOf(image, s), (std::vector<float>{0, 0, 0}));
    s.luminanceTolerance = std::numeric_limits<float>::infinity();
    s.hueTolerance = std::numeric_limits<float>::infinity();
    s.saturationTolerance = std::numeric_limits<float>::infinity();
    s.targetColor = kRed;
    EXPECT_EQ(maskOf(image, s), (std::vector<float>{1, 1, 1}));
}

TEST(DetectionRegions, CornerTouchingPixelsFormOneRegion) {
    Image image(6, 5, kBlack);
    image.at(1, 1) = kRed;
    image.at(2, 2) = kRed;
    image.at(3, 1) = kRed;
    image.at(5, 4) = kRed;
    const std::vector<Blob> blobs = detectBlobs(image, plainKey());
    ASSERT_EQ(blobs.size(), 2u);
    EXPECT_EQ(blobs[0].area, 3);
    EXPECT_EQ(boxOf(blobs[0]), (Box{1, 1, 4, 3}));
    EXPECT_FLOAT_EQ(blobs[0].center.x, 2.0f);
    EXPECT_FLOAT_EQ(blobs[0].center.y, 4.0f / 3.0f);
    EXPECT_EQ(boxOf(blobs[1]), (Box{5, 4, 6, 5}));
}

TEST(DetectionRegions, BlobCarriesMeanColourAndFullCoverage) {
    Settings s = plainKey();
    s.saturationTolerance = 0.5f;
    s.luminanceTolerance = 0.5f;
    Image image(4, 3, kBlack);
    image.at(1, 1) = {1.0f, 0.0f, 0.0f, 1.0f};
    image.at(2, 1) = {0.8f, 0.1f, 0.0f, 0.5f};
    const std::vector<Blob> blobs = detectBlobs(image, s);
    ASSERT_EQ(blobs.size(), 1u);
    const Blob& b = blobs[0];
    EXPECT_EQ(b.id, -1);
    EXPECT_EQ(b.area, 2);
    EXPECT_FLOAT_EQ(b.center.x, 1.5f);
    EXPECT_FLOAT_EQ(b.center.y, 1.0f);
    EXPECT_FLOAT_EQ(b.color.r, 0.9f);
    EXPECT_FLOAT_EQ(b.color.g, 0.05f);
    EXPECT_FLOAT_EQ(b.color.b, 0.0f);
    EXPECT_FLOAT_EQ(b.color.a, 0.75f);
    EXPECT_EQ(b.coverage, 1.0f);
}

// Horizontal runs of 11, 12 and 13 pixels on separate rows.
Image threeRuns() {
    Image image(20, 6, kBlack);
    fillRect(image, 0, 0, 11, 1, kRed);
    fillRect(image, 0, 2, 12, 3, kRed);
    fillRect(image, 0, 4, 13, 5, kRed);
    return image;
}

TEST(DetectionRegions, AreaBoundsNeverFallBelowTheMinimum) {
    Settings s = plainKey();
    s.minBlobArea = 12;
    s.maxBlobArea = 5;
    std::vector<Blob> blobs = detectBlobs(threeRuns(), s);
    ASSERT_EQ(blobs.size(), 1u);
    EXPECT_EQ(blobs[0].area, 12);

    s.minBlobArea = 12;
    s.maxBlobArea = 13;
    EXPECT_EQ(detectBlobs(threeRuns(), s).size(), 2u);

    // Both bounds non-positive: the upper bound is 1, so only single pixels pass.
    Image image = threeRuns();
    image.at(19, 5) = kRed;
    s.minBlobArea = -3;
    s.maxBlobArea = -7;
    blobs = detectBlobs(image, s);
    ASSERT_EQ(blobs.size(), 1u);
    EXPECT_EQ(blobs[0].area, 1);
}

TEST(DetectionRegions, OrderIsAreaThenRowThenColumn) {
    // Found in scan order X, Y, B, A, big; the expected order differs at every step.
    Image image(30, 20, kBlack);
    fillRect(image, 20, 0, 21, 4, kRed);    // X: area 4, centre (20, 1.5)
    fillRect(image, 24, 1, 28, 2, kRed);    // Y: area 4, centre (25.5, 1)
    fillRect(image, 10, 9, 11, 13, kRed);   // B: area 4, centre (10, 10.5)
    fillRect(image, 2, 10, 4, 12, kRed);    // A: area 4, centre (2.5, 10.5)
    fillRect(image, 25, 15, 28, 18, kRed);  // big: area 9
    const std::vector<Blob> blobs = detectBlobs(image, plainKey());
    ASSERT_EQ(blobs.size(), 5u);
    EXPECT_EQ(blobs[0].area, 9);
    EXPECT_FLOAT_EQ(blobs[1].center.x, 25.5f);
    EXPECT_FLOAT_EQ(blobs[2].center.x, 20.0f);
    EXPECT_FLOAT_EQ(blobs[3].center.x, 2.5f);
    EXPECT_FLOAT_EQ(blobs[4].center.x, 10.0f);
}

TEST(DetectionRegions, MaxObjectsKeepsTheLargest) {
    Image image(40, 6, kBlack);
    for (int32_t i = 0; i < 5; ++i) {
        fillRect(image, i * 8, 0, i * 8 + 1 + i, 1 + i, kRed);  // squares of side 1..5
    }
    Settings s = plainKey();
    s.maxObjects = 3;
    std::vector<Blob> blobs = detectBlobs(image, s);
    ASSERT_EQ(blobs.size(), 3u);
    EXPECT_EQ(blobs[0].area, 25);
    EXPECT_EQ(blobs[1].area, 16);
    EXPECT_EQ(blobs[2].area, 9);
    s.maxObjects = 0;
    EXPECT_TRUE(detectBlobs(image, s).empty());
    s.maxObjects = std::numeric_limits<int32_t>::min();
    EXPECT_TRUE(detectBlobs(image, s).empty());
}

TEST(DetectionMorphology, OpeningRemovesThinLinesAndRestoresSquares) {
    Image image(20, 16, kBlack);
    fillRect(image, 3, 2, 4, 14, kRed);     // one pixel wide
    fillRect(image, 10, 5, 15, 10, kRed);   // 5 x 5
    Settings s = plainKey();
    s.erodeIterations = 1;
    s.dilateIterations = 1;
    const std::vector<Blob> blobs = detectBlobs(image, s);
    ASSERT_EQ(blobs.size(), 1u);
    EXPECT_EQ(blobs[0].area, 25);
    EXPECT_EQ(boxOf(blobs[0]), (Box{10, 5, 15, 10}));
}

TEST(DetectionMorphology, BordersSeeTheirOwnPixelsAgain) {
    const Image image(6, 4, kRed);
    Settings s = plainKey();
    s.erodeIterations = 3;
    const std::vector<Blob> blobs = detectBlobs(image, s);
    ASSERT_EQ(blobs.size(), 1u);
    EXPECT_EQ(blobs[0].area, 24);
}

TEST(DetectionMorphology, HugePassCountsStopWhenNothingChanges) {
    Image image(9, 7, kBlack);
    image.at(4, 3) = kRed;
    Settings s = plainKey();
    s.dilateIterations = std::numeric_limits<int32_t>::max();
    std::vector<Blob> blobs = detectBlobs(image, s);
    ASSERT_EQ(blobs.size(), 1u);
    EXPECT_EQ(blobs[0].area, 63);

    Image square(20, 20, kBlack);
    fillRect(square, 6, 6, 13, 13, kRed);
    s.dilateIterations = 0;
    s.erodeIterations = 3;
    EXPECT_EQ(detectBlobs(square, s).size(), 1u);  // 7 x 7 survives three passes as 1 x 1
    s.erodeIterations = std::numeric_limits<int32_t>::max();
    s.dilateIterations = std::numeric_limits<int32_t>::max();
    EXPECT_TRUE(detectBlobs(square, s).empty());
    s.erodeIterations = -5;
    s.dilateIterations = -5;
    blobs = detectBlobs(square, s);
    ASSERT_EQ(blobs.size(), 1u);
    EXPECT_EQ(blobs[0].area, 49);
}

TEST(DetectionEmpty, EmptyAndInconsistentImagesGiveNothing) {
    Image inconsistent;
    inconsistent.width = 5;
    inconsistent.height = 5;  // no pixels behind the size
    for (const Image& image : {Image(), Image(0, 5), Image(5, 0), Image(-3, -3), inconsistent}) {
        std::vector<float> mask(7, 1.0f);
        EXPECT_TRUE(detectBlobs(image, Settings(), &mask).empty());
        EXPECT_TRUE(mask.empty());
    }
}

TEST(DetectionLarge, SolidUltraHdFrameIsOneRegion) {
    const Image image(3840, 2160, kRed);
    Settings s;  // blur and dilation on, as by default
    s.maxBlobArea = std::numeric_limits<int32_t>::max();
    std::vector<float> mask;
    const std::vector<Blob> blobs = detectBlobs(image, s, &mask);
    ASSERT_EQ(blobs.size(), 1u);
    EXPECT_EQ(blobs[0].area, 3840 * 2160);
    EXPECT_EQ(boxOf(blobs[0]), (Box{0, 0, 3840, 2160}));
    EXPECT_FLOAT_EQ(blobs[0].center.x, 1919.5f);
    EXPECT_FLOAT_EQ(blobs[0].center.y, 1079.5f);
    EXPECT_EQ(mask.size(), image.pixels.size());
}

}  // namespace
}  // namespace ormel
