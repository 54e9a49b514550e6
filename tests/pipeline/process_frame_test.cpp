#include "pipeline/process_frame.h"

#include <gtest/gtest.h>

#include <cstring>
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

Settings reducedBy(int32_t factor) {
    Settings s = plainKey();
    s.detectionScale = factor;
    return s;
}

TEST(ReducedSettings, SizesAreDividedByTheFactor) {
    Settings s;
    s.blurRadius = 3;
    s.minBlobArea = 12;
    s.maxBlobArea = 100;
    s.trackingDistance = 90.0f;
    s.temporalFrames = 5;
    s.detectionScale = 4;
    const Settings r = reducedSettings(s, 4);
    EXPECT_EQ(r.blurRadius, 0);
    EXPECT_EQ(r.minBlobArea, 1);
    EXPECT_EQ(r.maxBlobArea, 6);
    EXPECT_FLOAT_EQ(r.trackingDistance, 22.5f);
    EXPECT_EQ(r.detectionScale, 1);
    EXPECT_EQ(r.temporalFrames, 5);

    s.blurRadius = 9;
    s.minBlobArea = 17;  // ceil(17 / 16) = 2
    s.maxBlobArea = 20;  // 20 / 16 = 1, raised to the minimum
    const Settings q = reducedSettings(s, 4);
    EXPECT_EQ(q.blurRadius, 2);
    EXPECT_EQ(q.minBlobArea, 2);
    EXPECT_EQ(q.maxBlobArea, 2);
}

TEST(ReducedSettings, ExtremeValuesStayInRange) {
    Settings s;
    s.blurRadius = -7;
    s.minBlobArea = std::numeric_limits<int32_t>::max();
    s.maxBlobArea = std::numeric_limits<int32_t>::min();
    Settings r = reducedSettings(s, 16);
    EXPECT_EQ(r.blurRadius, 0);
    EXPECT_EQ(r.minBlobArea, 8388608);  // ceil((2^31 - 1) / 256)
    EXPECT_EQ(r.maxBlobArea, 8388608);
    s.minBlobArea = -40;
    r = reducedSettings(s, 0);  // factor clamped to 1
    EXPECT_EQ(r.minBlobArea, 1);
    EXPECT_EQ(r.blurRadius, 0);
    EXPECT_EQ(reducedSettings(s, 1000).trackingDistance, s.trackingDistance / 16.0f);
}

TEST(ProcessFrameReduced, TenBySixAtFactorFourSamplesCellCentres) {
    Image source(10, 6, kBlack);
    source.at(2, 2) = kRed;  // reduced (0, 0)
    source.at(9, 5) = kRed;  // reduced (2, 1): column 10 clamps to 9
    source.at(0, 0) = kRed;  // never sampled
    source.at(6, 4) = kRed;  // never sampled
    Settings s = reducedBy(4);
    s.outputMode = ormel::OutputMode::Matte;
    const TraceResult result = processFrame(source, {}, s);
    ASSERT_EQ(result.blobs.size(), 2u);
    const Blob& top = result.blobs[0];
    EXPECT_EQ(top.area, 10);                         // 1 * 10/3 * 3
    EXPECT_EQ(boxOf(top), (Box{0, 0, 4, 3}));        // ceil(10/3) = 4
    EXPECT_EQ(top.center.x, 0.0f);
    const Blob& low = result.blobs[1];
    EXPECT_EQ(boxOf(low), (Box{6, 3, 10, 6}));       // floor(2 * 10/3) = 6
    EXPECT_FLOAT_EQ(low.center.x, 20.0f / 3.0f);
    EXPECT_FLOAT_EQ(low.center.y, 3.0f);

    // The 3 x 2 mask enlarged: column x reads reduced column x * 3 / 10, row y reads y * 2 / 6.
    ASSERT_EQ(result.mask.size(), 60u);
    for (int32_t y = 0; y < 6; ++y) {
        for (int32_t x = 0; x < 10; ++x) {
            const bool topCell = x < 4 && y < 3;
            const bool lowCell = x >= 7 && y >= 3;
            const float expected = lowCell || topCell ? 1.0f : 0.0f;
            EXPECT_EQ(result.mask[static_cast<size_t>(x + y * 10)], expected) << x << "," << y;
            const Pixel& p = result.image.at(x, y);
            EXPECT_EQ(p.r, expected);
            EXPECT_EQ(p.a, expected);
        }
    }
}

TEST(ProcessFrameReduced, BoxesComeBackAtTheFullScale) {
    Image source(40, 40, kBlack);
    fillRect(source, 8, 4, 20, 12, kRed);  // reduced box [2, 5) x [1, 3)
    const TraceResult result = processFrame(source, {}, reducedBy(4));
    ASSERT_EQ(result.blobs.size(), 1u);
    const Blob& b = result.blobs[0];
    EXPECT_EQ(b.area, 96);
    EXPECT_EQ(boxOf(b), (Box{8, 4, 20, 12}));
    EXPECT_FLOAT_EQ(b.center.x, 12.0f);
    EXPECT_FLOAT_EQ(b.center.y, 6.0f);
    EXPECT_EQ(b.color.r, 1.0f);
    EXPECT_TRUE(result.mask.empty());  // reduced and not the matte

    // Without earlier frames the tracks are numbered from the full-scale blobs.
    ASSERT_EQ(result.tracks.size(), 1u);
    EXPECT_EQ(result.tracks[0].id, 1);
    EXPECT_EQ(result.tracks[0].blob.area, 96);
    ASSERT_EQ(result.tracks[0].trail.size(), 1u);
    EXPECT_FLOAT_EQ(result.tracks[0].trail[0].x, 12.0f);
}

TEST(ProcessFrameReduced, FactorIsClampedToSixteen) {
    Image source(64, 64, kBlack);
    fillRect(source, 16, 16, 32, 32, kRed);
    const TraceResult at16 = processFrame(source, {}, reducedBy(16));
    const TraceResult huge = processFrame(source, {}, reducedBy(1000));
    ASSERT_EQ(at16.blobs.size(), 1u);
    ASSERT_EQ(huge.blobs.size(), 1u);
    EXPECT_EQ(huge.blobs[0].area, at16.blobs[0].area);
    EXPECT_EQ(boxOf(huge.blobs[0]), (Box{16, 16, 32, 32}));
}

// An 80 x 40 frame with a 4 x 4 square on reduced pixel (cx, cy) at factor 4.
Image cellSquare(int32_t cx, int32_t cy, int32_t width = 80) {
    Image image(width, 40, kBlack);
    fillRect(image, cx * 4, cy * 4, cx * 4 + 4, cy * 4 + 4, kRed);
    return image;
}

TEST(ProcessFrameReduced, TracksUseReducedFramesAndComeBackScaled) {
    Settings s = reducedBy(4);
    s.temporalFrames = 4;
    s.frameNumber = 10;
    const std::vector<FrameSample> samples = {{8, cellSquare(5, 5)}, {9, Image()}};
    const TraceResult result = processFrame(cellSquare(7, 5), samples, s);
    ASSERT_EQ(result.tracks.size(), 1u);
    const Track& t = result.tracks[0];
    EXPECT_EQ(t.id, 1);
    EXPECT_EQ(t.blob.id, 1);
    EXPECT_EQ(t.blob.area, 16);
    EXPECT_EQ(boxOf(t.blob), (Box{28, 20, 32, 24}));
    ASSERT_EQ(t.trail.size(), 2u);
    EXPECT_FLOAT_EQ(t.trail[0].x, 20.0f);
    EXPECT_FLOAT_EQ(t.trail[0].y, 20.0f);
    EXPECT_FLOAT_EQ(t.trail[1].x, 28.0f);
    EXPECT_FLOAT_EQ(t.speed, 8.0f);
}

TEST(ProcessFrameReduced, TrackingDistanceIsDividedToo) {
    Settings s = reducedBy(4);
    s.temporalFrames = 2;
    s.trackingDistance = 90.0f;  // 22.5 reduced pixels
    std::vector<FrameSample> samples = {{0, cellSquare(2, 2, 200)}};
    TraceResult result = processFrame(cellSquare(24, 2, 200), samples, s);
    ASSERT_EQ(result.tracks.size(), 1u);
    EXPECT_EQ(result.tracks[0].id, 1);
    EXPECT_FLOAT_EQ(result.tracks[0].speed, 88.0f);
    result = processFrame(cellSquare(25, 2, 200), samples, s);
    ASSERT_EQ(result.tracks.size(), 1u);
    EXPECT_EQ(result.tracks[0].id, 2);
    EXPECT_EQ(result.tracks[0].speed, 0.0f);
}

TEST(ProcessFrameFull, MaskCoversTheFrameInEveryMode) {
    Image source(8, 5, kBlack);
    fillRect(source, 2, 1, 4, 3, kRed);
    for (int32_t scale : {1, 0, -3}) {
        for (int32_t mode : {0, 1, 2}) {
            Settings s = plainKey();
            s.detectionScale = scale;
            s.outputMode = static_cast<ormel::OutputMode>(mode);
            const TraceResult result = processFrame(source, {}, s);
            ASSERT_EQ(result.mask.size(), 40u);
            EXPECT_EQ(result.mask[2 + 1 * 8], 1.0f);
            EXPECT_EQ(result.mask[0], 0.0f);
            ASSERT_EQ(result.blobs.size(), 1u);
            EXPECT_EQ(result.blobs[0].area, 4);
        }
    }
}

TEST(ProcessFrameFull, SamplesArePassedAsGiven) {
    Settings s = plainKey();
    s.temporalFrames = 3;
    s.frameNumber = 5;
    Image before(30, 30, kBlack);
    fillRect(before, 10, 10, 12, 12, kRed);
    Image now(30, 30, kBlack);
    fillRect(now, 13, 14, 15, 16, kRed);
    const TraceResult result = processFrame(now, {{4, before}}, s);
    ASSERT_EQ(result.tracks.size(), 1u);
    EXPECT_EQ(result.tracks[0].trail.size(), 2u);
    EXPECT_FLOAT_EQ(result.tracks[0].speed, 5.0f);
}

// In-range values: the treatment chain's closing clamp would hide the base picture otherwise.
Image paletteSource() {
    Image source(2, 2);
    source.pixels = {{0.2f, 0.4f, 0.6f, 1.0f}, {1.0f, 0.0f, 0.0f, 0.5f}, {0.9f, 0.1f, 0.5f, 0.8f},
                     {0.0f, 0.0f, 0.0f, 0.0f}};
    return source;
}

// The key as plainKey(), with every overlay mark off so the base picture shows through.
Settings keyWithoutOverlay() {
    Settings s = plainKey();
    s.drawPoints = false;
    s.drawBoxes = false;
    s.drawLabels = false;
    s.drawLines = false;
    s.drawTrails = false;
    return s;
}

TEST(ProcessFrameBase, SourceIsScaledByClampedOpacity) {
    const Image source = paletteSource();
    Settings s = keyWithoutOverlay();
    s.sourceOpacity = 0.5f;
    Image out = processFrame(source, {}, s).image;
    ASSERT_EQ(out.width, 2);
    ASSERT_EQ(out.height, 2);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(out.pixels[i].r, source.pixels[i].r * 0.5f);
        EXPECT_EQ(out.pixels[i].g, source.pixels[i].g * 0.5f);
        EXPECT_EQ(out.pixels[i].b, source.pixels[i].b * 0.5f);
        EXPECT_EQ(out.pixels[i].a, source.pixels[i].a * 0.5f);
    }
    for (float opacity : {1.7f, 1.0f}) {
        s.sourceOpacity = opacity;
        s.outputMode = static_cast<ormel::OutputMode>(9);  // unknown modes show the source like mode 0
        out = processFrame(source, {}, s).image;
        EXPECT_EQ(out.pixels[2].r, 0.9f);
        EXPECT_EQ(out.pixels[1].a, 0.5f);
    }
    s.sourceOpacity = -1.0f;
    out = processFrame(source, {}, s).image;
    for (const Pixel& p : out.pixels) {
        EXPECT_EQ(p.r, 0.0f);
        EXPECT_EQ(p.a, 0.0f);
    }
}

TEST(ProcessFrameBase, OverlayOnlyIsClearAndMatteIsGreyWithMaskAlpha) {
    const Image source = paletteSource();
    Settings s = keyWithoutOverlay();
    s.outputMode = ormel::OutputMode::OverlayOnly;
    for (const Pixel& p : processFrame(source, {}, s).image.pixels) {
        EXPECT_EQ(p.r, 0.0f);
        EXPECT_EQ(p.g, 0.0f);
        EXPECT_EQ(p.b, 0.0f);
        EXPECT_EQ(p.a, 0.0f);
    }
    s.outputMode = ormel::OutputMode::Matte;
    const TraceResult matte = processFrame(source, {}, s);
    ASSERT_EQ(matte.mask.size(), 4u);
    EXPECT_EQ(matte.mask, (std::vector<float>{0, 1, 0, 0}));
    for (size_t i = 0; i < 4; ++i) {
        const Pixel& p = matte.image.pixels[i];
        EXPECT_EQ(p.r, matte.mask[i]);
        EXPECT_EQ(p.g, matte.mask[i]);
        EXPECT_EQ(p.b, matte.mask[i]);
        EXPECT_EQ(p.a, matte.mask[i]);
    }
}

TEST(ProcessFrameEmpty, EmptyOrInconsistentSourceGivesAnEmptyResult) {
    Image inconsistent;
    inconsistent.width = 3;
    inconsistent.height = 3;
    Settings s;
    s.temporalFrames = 2;
    for (int32_t scale : {1, 8}) {
        s.detectionScale = scale;
        for (const Image& source : {Image(), Image(4, 0), Image(0, 4), inconsistent}) {
            const TraceResult result = processFrame(source, {{0, Image(4, 4, kRed)}}, s);
            EXPECT_TRUE(result.image.empty());
            EXPECT_TRUE(result.image.pixels.empty());
            EXPECT_TRUE(result.mask.empty());
            EXPECT_TRUE(result.blobs.empty());
            EXPECT_TRUE(result.tracks.empty());
        }
    }
}

TEST(ProcessFrameRobustness, NonFiniteSettingsAndPixelsAreDeterministic) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Image source(48, 40, kBlack);
    fillRect(source, 8, 8, 20, 20, kRed);
    source.at(10, 10) = {nan, nan, nan, nan};
    source.at(30, 30) = {std::numeric_limits<float>::infinity(), 0.0f, 0.0f, 1.0f};
    Settings s;
    s.trackingDistance = nan;
    s.sourceOpacity = nan;
    s.hudScale = nan;
    s.temporalFrames = std::numeric_limits<int32_t>::max();
    s.blurRadius = std::numeric_limits<int32_t>::max();
    s.minBlobArea = std::numeric_limits<int32_t>::min();
    s.maxBlobArea = std::numeric_limits<int32_t>::max();
    const std::vector<FrameSample> samples = {{1, source}, {std::numeric_limits<int32_t>::min(), Image()}};
    for (int32_t scale : {1, 2, 8, std::numeric_limits<int32_t>::max()}) {
        s.detectionScale = scale;
        for (int32_t mode : {0, 2}) {
            s.outputMode = static_cast<ormel::OutputMode>(mode);
            const TraceResult a = processFrame(source, samples, s);
            const TraceResult b = processFrame(source, samples, s);
            ASSERT_EQ(a.image.pixels.size(), source.pixels.size());
            EXPECT_EQ(0, std::memcmp(a.image.pixels.data(), b.image.pixels.data(),
                                     a.image.pixels.size() * sizeof(Pixel)));
            EXPECT_EQ(a.mask, b.mask);
            EXPECT_EQ(a.tracks.size(), b.tracks.size());
        }
    }
}

// A caller that keeps every frame's regions tracks from them alone and gets
// what detecting the frame again gives, at full and reduced resolution, with
// and without earlier frames (sizes that do not divide by the factor too).
TEST(TrackDetectedRegions, EqualsTrackingTheFrame) {
    auto squares = [](int32_t step) {
        Image image(83, 61, kBlack);
        fillRect(image, 5 + 3 * step, 7, 17 + 3 * step, 19, kRed);
        fillRect(image, 60 - 2 * step, 30 + step, 70 - 2 * step, 38 + step, kRed);
        return image;
    };
    for (int32_t scale : {1, 4}) {
        for (int32_t temporal : {0, 3}) {
            SCOPED_TRACE("scale " + std::to_string(scale) + ", earlier frames " + std::to_string(temporal));
            Settings s = reducedBy(scale);
            s.temporalFrames = temporal;
            s.frameNumber = 4;
            const int32_t factor = detectionFactor(s);
            std::vector<FrameSample> samples;
            std::vector<FrameRegions> earlier;
            for (int32_t f = 1; f <= temporal; ++f) {
                samples.push_back({f, squares(f)});
                earlier.push_back({f, detectEarlierRegions(downsampleNearest(squares(f), factor), s)});
            }
            const Image current = squares(4);
            const TraceResult whole = processFrame(current, samples, s);
            const TraceResult kept = trackDetectedRegions(
                detectEarlierRegions(downsampleNearest(current, factor), s), current.width, current.height, earlier, s);
            ASSERT_EQ(kept.blobs.size(), whole.blobs.size());
            ASSERT_EQ(kept.tracks.size(), whole.tracks.size());
            ASSERT_EQ(whole.tracks.size(), 2u);
            for (size_t i = 0; i < whole.blobs.size(); ++i) {
                EXPECT_EQ(boxOf(kept.blobs[i]), boxOf(whole.blobs[i]));
                EXPECT_EQ(kept.blobs[i].area, whole.blobs[i].area);
            }
            for (size_t i = 0; i < whole.tracks.size(); ++i) {
                const Track &a = kept.tracks[i], &b = whole.tracks[i];
                EXPECT_EQ(a.id, b.id);
                EXPECT_EQ(boxOf(a.blob), boxOf(b.blob));
                EXPECT_EQ(a.blob.center.x, b.blob.center.x);
                EXPECT_EQ(a.blob.center.y, b.blob.center.y);
                EXPECT_EQ(a.speed, b.speed);
                ASSERT_EQ(a.trail.size(), b.trail.size());
                EXPECT_EQ(a.trail.size(), static_cast<size_t>(temporal + 1));
                for (size_t k = 0; k < a.trail.size(); ++k) {
                    EXPECT_EQ(a.trail[k].x, b.trail[k].x);
                    EXPECT_EQ(a.trail[k].y, b.trail[k].y);
                }
            }
        }
    }
}

}  // namespace
}  // namespace ormel
