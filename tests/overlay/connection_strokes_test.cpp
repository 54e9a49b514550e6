#include "overlay/connection_strokes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <vector>

#include "overlay/hash.h"
#include "overlay/raster.h"
#include "tests/overlay/overlay_test_support.h"

namespace ormel {
namespace {

using testing_support::changedPixels;
using testing_support::makeTrack;
using testing_support::samePixels;

const Pixel kBlack{0, 0, 0, 1};

Settings lineSettings() {
    Settings s;
    s.glowAmount = 0.0f;
    s.lineOpacity = 1.0f;
    s.lineWidth = 2.0f;
    s.lineColor = {1, 1, 1, 1};
    return s;
}

TEST(ConnectionStrokes, SegmentAndMotifCounts) {
    EXPECT_EQ(curveSegmentCount(100.0f), 9);
    EXPECT_EQ(curveSegmentCount(79.9f), 8);
    EXPECT_EQ(curveSegmentCount(4000.0f), 48);
    EXPECT_EQ(curveSegmentCount(1e30f), 48);
    EXPECT_EQ(curveSegmentCount(std::numeric_limits<float>::quiet_NaN()), 8);
    EXPECT_EQ(motifCount(50.0f, 72.0f), 1);
    EXPECT_EQ(motifCount(300.0f, 72.0f), 4);
    EXPECT_EQ(motifCount(1e9f, 3.0f), 64);
    EXPECT_EQ(motifCount(std::numeric_limits<float>::infinity(), 72.0f), 64);
    EXPECT_EQ(motifCount(std::numeric_limits<float>::quiet_NaN(), 72.0f), 1);
}

TEST(ConnectionStrokes, CurvePointShapes) {
    Settings s = lineSettings();
    s.lineCurveAmount = 10.0f;
    const Vec2 a{0, 0}, b{100, 0};
    const Edge e{2, 5, 100.0f};
    // The side is fixed per pair: positive amount or its negation.
    const float side = hash01(2, 5, 0, s.seed + 211) < 0.5f ? -1.0f : 1.0f;
    s.lineCurveMode = 1;
    const Vec2 mid = curvePoint(a, b, 0.5f, e, s);
    EXPECT_NEAR(mid.x, 50.0f, 1e-4f);
    EXPECT_NEAR(mid.y, side * 10.0f, 1e-4f);  // normal of (100, 0) is (0, 1)
    EXPECT_NEAR(curvePoint(a, b, 0.0f, e, s).y, 0.0f, 1e-6f);
    EXPECT_NEAR(curvePoint(a, b, 1.0f, e, s).y, 0.0f, 1e-5f);
    s.lineCurveMode = 2;
    EXPECT_NEAR(curvePoint(a, b, 0.25f, e, s).y, side * 10.0f, 1e-4f);
    EXPECT_NEAR(curvePoint(a, b, 0.75f, e, s).y, -side * 10.0f, 1e-4f);
    // Organic: the ends move off the tracks by +-0.35 * amt * sin(phase).
    s.lineCurveMode = 3;
    const float phase = 6.2831855f * hash01(5, 2, 0, s.seed + 317);
    EXPECT_NEAR(curvePoint(a, b, 0.0f, e, s).y, side * 3.5f * std::sin(phase), 1e-4f);
    EXPECT_NEAR(curvePoint(a, b, 1.0f, e, s).y, -side * 3.5f * std::sin(phase), 1e-4f);
    // Other modes are straight.
    s.lineCurveMode = 9;
    EXPECT_EQ(curvePoint(a, b, 0.3f, e, s).y, 0.0f);
    // Swapping the indices may flip the side; the same pair always agrees with itself.
    s.lineCurveMode = 1;
    EXPECT_EQ(curvePoint(a, b, 0.5f, e, s).y, curvePoint(a, b, 0.5f, e, s).y);
}

TEST(ConnectionStrokes, CurvedLineIsDrawnAsSegments) {
    Settings s = lineSettings();
    s.lineCurveMode = 1;
    s.lineCurveAmount = 12.0f;
    const std::vector<Track> tracks = {makeTrack(1, 10, 40), makeTrack(2, 110, 40)};
    const Edge e{0, 1, 100.0f};
    Image got(130, 80, kBlack), want(130, 80, kBlack);
    drawConnection(got, tracks, e, s);
    Vec2 prev = curvePoint({10, 40}, {110, 40}, 0.0f, e, s);
    for (int k = 1; k <= 9; ++k) {
        const Vec2 next = curvePoint({10, 40}, {110, 40}, k / 9.0f, e, s);
        drawLine(want, prev, next, 2.0f, s.lineColor, 1.0f, 0.0f, 0.0f);
        prev = next;
    }
    EXPECT_TRUE(samePixels(got, want));

    // Below the threshold the line is one straight stroke.
    s.lineCurveAmount = 0.0005f;
    Image straight(130, 80, kBlack), single(130, 80, kBlack);
    drawConnection(straight, tracks, e, s);
    drawLine(single, {10, 40}, {110, 40}, 2.0f, s.lineColor, 1.0f, 0.0f, 0.0f);
    EXPECT_TRUE(samePixels(straight, single));
}

TEST(ConnectionStrokes, JitterAndFlickerChangeWithTheFrameOnly) {
    Settings s = lineSettings();
    s.lineJitter = 8.0f;
    s.lineFlicker = 0.5f;
    const std::vector<Track> tracks = {makeTrack(1, 10, 30), makeTrack(2, 90, 50)};
    auto render = [&](int32_t frame) {
        Settings f = s;
        f.frameNumber = frame;
        Image img(100, 80, kBlack);
        drawConnection(img, tracks, {0, 1, 82.5f}, f);
        return img;
    };
    EXPECT_TRUE(samePixels(render(3), render(3)));
    int32_t different = 0;
    for (int32_t f = 4; f < 10; ++f) different += samePixels(render(3), render(f)) ? 0 : 1;
    EXPECT_GE(different, 5);
}

TEST(ConnectionStrokes, FlickerKeepsOpacityInItsBand) {
    // A vertical 4-px line: the pixel on its axis has coverage 1, so its value is the opacity.
    const std::vector<Track> tracks = {makeTrack(1, 20.5f, 5), makeTrack(2, 20.5f, 35)};
    for (float flicker : {1.0f, 0.25f}) {
        Settings s = lineSettings();
        s.lineWidth = 4.0f;
        s.lineOpacity = 0.8f;
        s.lineFlicker = flicker;
        std::set<float> seen;
        for (int32_t f = 0; f < 60; ++f) {
            s.frameNumber = f;
            Image img(40, 40, kBlack);
            drawConnection(img, tracks, {0, 1, 30.0f}, s);
            const float v = img.at(20, 20).r;
            EXPECT_GE(v, 0.8f * (1.0f - flicker) - 1e-6f);
            EXPECT_LT(v, 0.8f);
            seen.insert(v);
        }
        EXPECT_GT(seen.size(), 30u);
    }
}

TEST(ConnectionStrokes, MotifsNeedSpacingOpacityAndAKind) {
    const std::vector<Track> tracks = {makeTrack(1, 10, 30), makeTrack(2, 150, 30)};
    const Edge e{0, 1, 140.0f};
    Settings plain = lineSettings();
    Image base(170, 60, kBlack);
    drawConnection(base, tracks, e, plain);
    for (int32_t motif : {1, 2, 3, 4}) {
        Settings s = plain;
        s.lineMotif = motif;
        s.motifSpacing = 40.0f;
        Image img(170, 60, kBlack);
        drawConnection(img, tracks, e, s);
        EXPECT_FALSE(samePixels(img, base)) << motif;
        s.motifSpacing = 2.0f;
        Image none(170, 60, kBlack);
        drawConnection(none, tracks, e, s);
        EXPECT_TRUE(samePixels(none, base)) << motif;
        s.motifSpacing = 40.0f;
        s.motifOpacity = 0.0f;
        Image clear(170, 60, kBlack);
        drawConnection(clear, tracks, e, s);
        EXPECT_TRUE(samePixels(clear, base)) << motif;
    }
}

TEST(ConnectionStrokes, ShortEdgeGetsOneDotAtItsMiddle) {
    Settings s = lineSettings();
    s.lineWidth = 0.5f;
    s.lineMotif = 3;
    s.motifSpacing = 72.0f;
    s.motifSize = 20.0f;
    const std::vector<Track> tracks = {makeTrack(1, 10, 30), makeTrack(2, 50, 30)};
    Image got(70, 60, kBlack), want(70, 60, kBlack);
    drawConnection(got, tracks, {0, 1, 40.0f}, s);
    drawLine(want, {10, 30}, {50, 30}, 0.5f, s.lineColor, 1.0f, 0.0f, 0.0f);
    drawDisk(want, {30, 30}, 7.0f, s.lineColor, 0.85f);
    EXPECT_TRUE(samePixels(got, want));
}

TEST(ConnectionStrokes, ArrowBarbsTrailBehindTheTipTowardsA) {
    Settings s = lineSettings();
    s.lineWidth = 1.0f;
    s.lineMotif = 1;
    s.motifSize = 10.0f;
    s.motifOpacity = 1.0f;
    const std::vector<Track> tracks = {makeTrack(1, 10, 30), makeTrack(2, 50, 30)};
    Image withLine(70, 60, kBlack), arrow(70, 60, kBlack);
    drawLine(withLine, {10, 30}, {50, 30}, 1.0f, s.lineColor, 1.0f, 0.0f, 0.0f);
    drawConnection(arrow, tracks, {0, 1, 40.0f}, s);
    // Tip at x = 30; barb ends at x = 20, y = 30 +- 4.8.
    EXPECT_GT(arrow.at(20, 34).r, 0.5f);
    EXPECT_GT(arrow.at(20, 25).r, 0.5f);
    EXPECT_EQ(arrow.at(39, 34).r, withLine.at(39, 34).r);
    EXPECT_EQ(arrow.at(39, 25).r, withLine.at(39, 25).r);

    // Reversed edge: barbs now on the other side of the tip.
    Image back(70, 60, kBlack);
    drawConnection(back, tracks, {1, 0, 40.0f}, s);
    EXPECT_GT(back.at(40, 34).r, 0.5f);
    EXPECT_EQ(back.at(21, 34).r, withLine.at(21, 34).r);
}

TEST(ConnectionStrokes, BrokenEdgesAndSettingsDrawSafely) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<Track> tracks = {makeTrack(1, nan, 30), makeTrack(2, 50, inf),
                                       makeTrack(3, 1e30f, -1e30f), makeTrack(4, 20, 20)};
    Settings s = lineSettings();
    s.lineJitter = 1e30f;
    s.lineFlicker = nan;
    s.lineCurveMode = 3;
    s.lineCurveAmount = 1e20f;
    s.lineMotif = 2;
    s.motifSpacing = 3.0f;
    s.motifSize = inf;
    Image img(40, 40, kBlack);
    for (int32_t a = 0; a < 4; ++a)
        for (int32_t b = 0; b < 4; ++b) drawConnection(img, tracks, {a, b, 1.0f}, s);
    drawConnection(img, tracks, {-1, 7, 1.0f}, s);  // out-of-range indices are ignored
    for (const Pixel& p : img.pixels) {
        ASSERT_TRUE(p.r >= 0.0f && p.r <= 1.0f);
        ASSERT_TRUE(p.a >= 0.0f && p.a <= 1.0f);
    }
}

}  // namespace
}  // namespace ormel
