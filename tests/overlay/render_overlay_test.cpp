#include "overlay/render_overlay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/pixel_ops.h"
#include "overlay/boxes_labels.h"
#include "overlay/point_size.h"
#include "overlay/points.h"
#include "overlay/raster.h"
#include "tests/overlay/overlay_test_support.h"

namespace ormel {
namespace {

using testing_support::bareSettings;
using testing_support::makeTrack;
using testing_support::samePixels;

const Pixel kBlack{0, 0, 0, 1};

TEST(PointSize, FixedAndRandomRules) {
    Settings s;
    const Track t = makeTrack(4, 0, 0, 77);
    s.pointSize = 0.3f;
    EXPECT_EQ(pointSizeFor(t, s), 1.0f);
    s.randomPointSize = true;
    s.pointSizeMin = 22.0f;
    s.pointSizeMax = 4.0f;  // bounds are ordered
    float lo = 1e9f, hi = -1e9f;
    for (int32_t id = 1; id < 300; ++id) {
        const float v = pointSizeFor(makeTrack(id, 0, 0, 10 + id), s);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_TRUE(lo >= 4.0f && lo < 5.0f && hi > 21.0f && hi < 22.0f) << lo << " " << hi;
    Track grown = t;
    grown.blob.area = 78;  // the size follows the area
    EXPECT_NE(pointSizeFor(t, s), pointSizeFor(grown, s));
    s.pointSizeMin = s.pointSizeMax = 0.0f;
    EXPECT_EQ(pointSizeFor(t, s), 0.5f);
    s.pointShape = ormel::PointShape::Dot;
    EXPECT_EQ(shapeRadiusFor(8.0f, s), 4.0f);
}

TEST(Points, FilledSquareCoversTruncatedRangeThenOutline) {
    Settings s = bareSettings();
    s.pointShape = ormel::PointShape::Square;
    s.pointFill = true;
    s.pointSize = 3.0f;
    s.pointStroke = 1.0f;
    s.pointColor = {1, 1, 1, 1};
    Image got(24, 24, kBlack), want(24, 24, kBlack);
    drawPoint(got, makeTrack(1, 10.5f, 10.5f), s);
    for (int32_t y = 7; y <= 13; ++y)
        for (int32_t x = 7; x <= 13; ++x) want.at(x, y) = {0.2f, 0.2f, 0.2f, 1.0f};
    drawRect(want, 7.5f, 7.5f, 13.5f, 13.5f, 1.0f, s.pointColor, 1.0f, s);
    EXPECT_TRUE(samePixels(got, want));
}

TEST(Points, RingMatchesAWholeImageScan) {
    Settings s = bareSettings();
    s.pointShape = ormel::PointShape::Ring;
    s.pointColor = {0.2f, 0.9f, 0.4f, 0.8f};
    s.pointOpacity = 0.7f;
    for (float size : {1.0f, 5.5f, 13.0f}) {
        for (float stroke : {0.2f, 2.0f, 5.0f}) {
            s.pointSize = size;
            s.pointStroke = stroke;
            const Vec2 c{17.3f, 12.8f};
            Image got(40, 30, Pixel{0.1f, 0.2f, 0.3f, 0.5f}), want = got;
            drawPoint(got, makeTrack(1, c.x, c.y), s);
            const float w = std::max(stroke, 0.5f);
            for (int32_t y = 0; y < 30; ++y) {
                for (int32_t x = 0; x < 40; ++x) {
                    const float dx = x + 0.5f - c.x, dy = y + 0.5f - c.y;
                    const float d = std::sqrt(dx * dx + dy * dy);
                    const float cov = std::min(std::max(w * 0.5f, 0.5f) + 0.75f - std::fabs(d - size), 1.0f);
                    if (cov > 0.0f) want.at(x, y) = blendOver(want.at(x, y), s.pointColor, cov * 0.7f * 0.8f);
                }
            }
            drawDisk(want, c, std::max(0.9f * w, 1.0f), s.pointColor, 0.7f);
            EXPECT_TRUE(samePixels(got, want)) << size << " " << stroke;
        }
    }
}

// Rows are narrowed to the reach of each mark with only a tenth of a pixel to
// spare: wherever the centre falls within a pixel, the glow disk, the ring
// and the dot must still reach exactly the pixels a whole-image scan blends.
TEST(Points, GlowingRingAtSubPixelCentresMatchesWholeImageScans) {
    Settings s = bareSettings();
    s.pointShape = ormel::PointShape::Ring;
    s.glowAmount = 0.35f;
    s.pointColor = {0.2f, 0.9f, 0.4f, 1.0f};
    const float size = 7.0f, w = 2.5f;
    s.pointSize = size;
    s.pointStroke = w;
    for (int32_t i = 0; i < 16; ++i) {
        for (int32_t j = 0; j < 16; j += 3) {
            const Vec2 c{20.0f + i / 16.0f, 19.0f + j / 16.0f};
            Image got(44, 42, Pixel{0.1f, 0.2f, 0.3f, 0.5f}), want = got;
            drawPoint(got, makeTrack(1, c.x, c.y), s);
            drawDisk(want, c, size + 3.0f * w + 6.0f * 0.35f, s.pointColor, 0.35f * 0.08f);
            for (int32_t y = 0; y < want.height; ++y) {
                for (int32_t x = 0; x < want.width; ++x) {
                    const float dx = x + 0.5f - c.x, dy = y + 0.5f - c.y;
                    const float d = std::sqrt(dx * dx + dy * dy);
                    const float cov = std::min(w * 0.5f + 0.75f - std::fabs(d - size), 1.0f);
                    if (cov > 0.0f) want.at(x, y) = blendOver(want.at(x, y), s.pointColor, cov);
                }
            }
            drawDisk(want, c, std::max(0.9f * w, 1.0f), s.pointColor, 1.0f);
            EXPECT_TRUE(samePixels(got, want)) << c.x << "," << c.y;
        }
    }
}

TEST(RenderOverlay, NoTracksOrOneTrack) {
    Settings s;
    s.temporalFrames = 3;
    s.drawBoxText = true;
    const Image plain(120, 80, Pixel{0.3f, 0.2f, 0.1f, 0.5f});
    Image img = plain;
    renderOverlay(img, img, {}, s);
    EXPECT_TRUE(samePixels(img, plain));
    // One track: everything but connection lines.
    Track t = makeTrack(1, 60, 40);
    t.trail = {{30, 40}, {45, 40}, {60, 40}};
    Image with = plain, without = plain;
    renderOverlay(with, with, {t}, s);
    s.drawLines = false;
    renderOverlay(without, without, {t}, s);
    EXPECT_TRUE(samePixels(with, without));
    EXPECT_FALSE(samePixels(with, plain));
    // Boxes off take their captions with them.
    Settings captions = bareSettings();
    captions.drawBoxText = true;
    renderOverlay(img, img, {t}, captions);
    EXPECT_TRUE(samePixels(img, plain));
}

TEST(RenderOverlay, TrailSegmentsBrightenTowardsTheCurrentCentre) {
    Settings s = bareSettings();
    s.drawTrails = true;
    s.temporalFrames = 2;
    s.trailOpacity = 0.6f;
    Track t = makeTrack(1, 50, 20);
    t.trail = {{10, 20}, {30, 20}, {50, 20}};
    Image got(70, 40, kBlack), want(70, 40, kBlack);
    renderOverlay(got, got, {t}, s);
    drawLine(want, {10, 20}, {30, 20}, s.trailWidth, s.trailColor, 0.3f, 0.0f, 0.0f);
    drawLine(want, {30, 20}, {50, 20}, s.trailWidth, s.trailColor, 0.6f, 0.0f, 0.0f);
    EXPECT_TRUE(samePixels(got, want));
    // No earlier frames, zero opacity or a one-point trail: no trail.
    Image none(70, 40, kBlack);
    s.temporalFrames = 0;
    renderOverlay(none, none, {t}, s);
    s.temporalFrames = 2;
    s.trailOpacity = 0.0f;
    renderOverlay(none, none, {t}, s);
    s.trailOpacity = 0.6f;
    t.trail.resize(1);
    renderOverlay(none, none, {t}, s);
    EXPECT_TRUE(samePixels(none, Image(70, 40, kBlack)));
}

TEST(RenderOverlay, LaterPointCoversEarlierLabel) {
    Settings s = bareSettings();
    s.drawPoints = s.drawLabels = true;
    s.pointShape = ormel::PointShape::Dot;
    s.pointSize = 12.0f;
    s.pointColor = {0, 1, 0, 1};
    s.labelColor = {1, 0, 0, 1};
    s.labelTextMode = ormel::LabelText::Target;
    s.labelScale = 2;
    s.labelOffsetX = 0;
    s.labelOffsetY = -12;
    // Track 1's label "TARGET_1" spans rows 20..29 from x = 20; its "R" lights
    // (40, 27). Track 2's dot covers that pixel; its own label stays above.
    const std::vector<Track> tracks = {makeTrack(1, 20, 32), makeTrack(2, 40, 26)};
    Image alone(80, 50, kBlack), img(80, 50, kBlack);
    renderOverlay(alone, alone, {tracks[0]}, s);
    renderOverlay(img, img, tracks, s);
    EXPECT_GT(alone.at(40, 27).r, 0.9f);
    EXPECT_EQ(img.at(40, 27).g, 1.0f);
    EXPECT_EQ(img.at(40, 27).r, 0.0f);
    // Labels stay without points or with an unknown shape.
    s.drawPoints = false;
    Image labels(80, 50, kBlack), shape9(80, 50, kBlack);
    renderOverlay(labels, labels, tracks, s);
    s.drawPoints = true;
    s.pointShape = static_cast<ormel::PointShape>(9);
    renderOverlay(shape9, shape9, tracks, s);
    EXPECT_TRUE(samePixels(labels, shape9));
    EXPECT_GT(labels.at(40, 27).r, 0.9f);
}

Settings everything() {
    Settings s;
    s.temporalFrames = 4;
    s.drawBoxText = s.randomBoxTextSize = s.randomPointSize = true;
    s.connectionMode = ormel::ConnectionMode::Complete;
    s.lineCurveMode = ormel::LineCurve::Organic;
    s.lineCurveAmount = 14.0f;
    s.lineMotif = ormel::LineMotif::Arrow;
    s.motifSpacing = 30.0f;
    s.lineJitter = 3.0f;
    s.lineFlicker = 0.4f;
    s.dashLength = 6.0f;
    s.magnifierEnable = s.pointFlashEnable = s.pointInvertEnable = true;
    s.magnifierIntensity = s.pointFlashIntensity = s.pointInvertIntensity = 0.8f;
    s.labelTextMode = ormel::LabelText::FullTracking;
    return s;
}

std::vector<Track> scene() {
    std::vector<Track> tracks;
    for (int32_t i = 0; i < 9; ++i) {
        Track t = makeTrack(i + 1, 20.0f + 17.0f * i, 20.0f + 11.0f * (i % 4), 30 + 7 * i);
        t.trail = {{t.blob.center.x - 12, t.blob.center.y + 5}, {t.blob.center.x - 6, t.blob.center.y + 2},
                   t.blob.center};
        t.speed = 6.7f;
        tracks.push_back(t);
    }
    return tracks;
}

// A tall frame is drawn a slice of rows at a time; marks straddling the
// slices' edges must come out as the layers drawn over the whole image in
// order, with one band or several.
TEST(RenderOverlay, TallFramesMatchTheLayersDrawnOverTheWholeImage) {
    Settings s = bareSettings();
    s.drawBoxes = s.drawPoints = s.drawLabels = true;
    s.glowAmount = 0.5f;
    s.labelScale = 3;
    s.labelOffsetY = -20;
    std::vector<Track> tracks;
    for (int32_t i = 0; i < 40; ++i) {
        tracks.push_back(makeTrack(i + 1, 15.0f + 7.3f * (i % 9), 9.0f + 23.7f * i, 40, 4 + i % 9));
    }
    const Image plain = testing_support::ramp(90, 950);
    Image want = plain;
    for (const Track& t : tracks) drawBox(want, t, s);
    for (const Track& t : tracks) {
        drawPoint(want, t, s);
        drawLabel(want, t, s);
    }
    for (int32_t count : {1, 3, 7}) {
        RowBands bands;
        bands.bands = count;
        Image got = plain;
        renderOverlay(got, plain, tracks, s, bands);
        EXPECT_TRUE(samePixels(got, want)) << count << " bands";
    }
}

TEST(RenderOverlay, DeterministicAndChangingOverTimeOnlyThroughRandomChoices) {
    Image src(200, 100);
    for (int32_t y = 0; y < 100; ++y)
        for (int32_t x = 0; x < 200; ++x) src.at(x, y) = {x / 200.0f, y / 100.0f, 0.5f, 1};
    Settings s = everything();
    Image a = src, b = src, c = src;
    renderOverlay(a, src, scene(), s);
    renderOverlay(b, src, scene(), s);
    s.frameNumber = 1;
    renderOverlay(c, src, scene(), s);
    EXPECT_TRUE(samePixels(a, b));
    EXPECT_FALSE(samePixels(a, c));
    Settings still = bareSettings();
    still.drawPoints = still.drawLines = still.drawBoxes = true;
    Image d = src, e = src;
    renderOverlay(d, src, scene(), still);
    still.frameNumber = 99;
    renderOverlay(e, src, scene(), still);
    EXPECT_TRUE(samePixels(d, e));
}

TEST(RenderOverlay, HostileSettingsAndTracksNeverCrash) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const int32_t big = std::numeric_limits<int32_t>::max();
    std::vector<Track> tracks = scene();
    tracks[1].blob.center = {nan, nan};
    tracks[2].blob.center = {1e30f, -1e30f};
    tracks[3].blob.minX = -big;
    tracks[3].blob.maxX = big;
    tracks[4].trail = {{nan, 3}, {inf, -inf}, {5, 5}};
    tracks[5].speed = nan;
    tracks[6].blob.area = big;
    tracks[7].id = -big;

    std::vector<Settings> variants(3, everything());
    variants[0].pointSize = 1e30f;
    variants[0].pointStroke = nan;
    variants[0].lineWidth = 1e9f;
    variants[0].glowAmount = inf;
    variants[0].lineFlicker = nan;
    variants[1].labelScale = variants[1].boxTextScale = variants[1].labelOffsetX = big;
    variants[1].labelOffsetY = variants[1].boxTextSizeMin = -big;
    variants[1].boxTextSizeMax = variants[1].boxTextOffset = variants[1].seed = big;
    variants[1].maxConnectionEdges = -1;
    variants[1].connectionMode = static_cast<ConnectionMode>(-7);
    variants[1].frameNumber = std::numeric_limits<int32_t>::min();
    variants[1].pointFlashSpeed = 1e30f;
    variants[1].magnifierRadiusScale = nan;
    variants[2].dashLength = nan;
    variants[2].lineJitter = inf;
    variants[2].lineCurveAmount = -1e30f;
    variants[2].motifSpacing = 2.5f;
    variants[2].motifSize = 1e30f;
    variants[2].trailWidth = -5.0f;
    variants[2].pointShape = PointShape::Square;
    variants[2].pointFill = true;
    variants[2].pointSizeMin = nan;
    variants[2].connectionMode = ConnectionMode::Nearest;
    for (const Settings& v : variants) {
        Image out(64, 48), src(10, 10, Pixel{0.5f, 0.5f, 0.5f, 1}), empty, broken(64, 48);
        broken.pixels.resize(10);
        renderOverlay(out, src, tracks, v);
        renderOverlay(empty, src, tracks, v);
        renderOverlay(broken, Image{}, tracks, v);
        for (const Pixel& p : out.pixels) ASSERT_TRUE(p.a >= 0.0f && p.a <= 1.0f);
        EXPECT_TRUE(empty.pixels.empty());
        EXPECT_EQ(broken.pixels.size(), 10u);
    }
}

}  // namespace
}  // namespace ormel
