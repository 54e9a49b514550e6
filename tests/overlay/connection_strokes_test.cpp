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

using testing_support::makeTrack;
using testing_support::samePixels;

const Pixel kBlack{0, 0, 0, 1};

Settings lineSettings() {
    Settings s;
    s.glowAmount = 0.0f;
    s.lineOpacity = 1.0f;
    s.lineWidth = 2.0f;
    s.lineColor = {1, 1, 1, 1};
    // Plain straight lines: each test adds the curve or motif it is about.
    s.lineCurveMode = ormel::LineCurve::Straight;
    s.lineMotif = ormel::LineMotif::None;
    return s;
}

Image drawn(const std::vector<Track>& tracks, const Edge& e, const Settings& s, int32_t w = 170) {
    Image img(w, 60, kBlack);
    drawConnection(img, tracks, e, s);
    return img;
}

TEST(ConnectionStrokes, SegmentAndMotifCounts) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(curveSegmentCount(100.0f), 9);
    EXPECT_EQ(curveSegmentCount(79.9f), 8);
    EXPECT_EQ(curveSegmentCount(4000.0f), 48);
    EXPECT_EQ(curveSegmentCount(nan), 8);
    EXPECT_EQ(motifCount(50.0f, 72.0f), 1);
    EXPECT_EQ(motifCount(300.0f, 72.0f), 4);
    EXPECT_EQ(motifCount(std::numeric_limits<float>::infinity(), 72.0f), 64);
    EXPECT_EQ(motifCount(nan, 72.0f), 1);
}

TEST(ConnectionStrokes, CurvePointShapes) {
    Settings s = lineSettings();
    s.lineCurveAmount = 10.0f;
    const Vec2 a{0, 0}, b{100, 0};
    const Edge e{2, 5, 100.0f};
    // Each pair bends to a fixed side; the normal of (100, 0) is (0, 1).
    const float side = hash01(2, 5, 0, s.seed + 211) < 0.5f ? -1.0f : 1.0f;
    s.lineCurveMode = ormel::LineCurve::Arc;
    EXPECT_NEAR(curvePoint(a, b, 0.5f, e, s).x, 50.0f, 1e-4f);
    EXPECT_NEAR(curvePoint(a, b, 0.5f, e, s).y, side * 10.0f, 1e-4f);
    EXPECT_NEAR(curvePoint(a, b, 1.0f, e, s).y, 0.0f, 1e-5f);
    s.lineCurveMode = ormel::LineCurve::Sine;
    EXPECT_NEAR(curvePoint(a, b, 0.75f, e, s).y, -side * 10.0f, 1e-4f);
    // Organic: the ends move off the tracks by +-0.35 * amt * sin(phase).
    s.lineCurveMode = ormel::LineCurve::Organic;
    const float phase = 6.2831855f * hash01(5, 2, 0, s.seed + 317);
    EXPECT_NEAR(curvePoint(a, b, 0.0f, e, s).y, side * 3.5f * std::sin(phase), 1e-4f);
    EXPECT_NEAR(curvePoint(a, b, 1.0f, e, s).y, -side * 3.5f * std::sin(phase), 1e-4f);
    s.lineCurveMode = static_cast<ormel::LineCurve>(9);
    EXPECT_EQ(curvePoint(a, b, 0.3f, e, s).y, 0.0f);
}

TEST(ConnectionStrokes, CurvedLineIsDrawnAsSegmentsStraightBelowThreshold) {
    Settings s = lineSettings();
    s.lineCurveMode = ormel::LineCurve::Arc;
    s.lineCurveAmount = 12.0f;
    const std::vector<Track> tracks = {makeTrack(1, 10, 30), makeTrack(2, 110, 30)};
    const Edge e{0, 1, 100.0f};
    Image want(170, 60, kBlack);
    for (int k = 1; k <= 9; ++k) {  // 100 px: 9 segments
        drawLine(want, curvePoint({10, 30}, {110, 30}, (k - 1) / 9.0f, e, s),
                 curvePoint({10, 30}, {110, 30}, k / 9.0f, e, s), 2.0f, s.lineColor, 1.0f, 0.0f, 0.0f);
    }
    EXPECT_TRUE(samePixels(drawn(tracks, e, s), want));
    s.lineCurveAmount = 0.0005f;
    Image straight(170, 60, kBlack);
    drawLine(straight, {10, 30}, {110, 30}, 2.0f, s.lineColor, 1.0f, 0.0f, 0.0f);
    EXPECT_TRUE(samePixels(drawn(tracks, e, s), straight));
}

TEST(ConnectionStrokes, JitterAndFlickerChangeWithTheFrameOnly) {
    Settings s = lineSettings();
    s.lineJitter = 8.0f;
    s.lineFlicker = 0.5f;
    const std::vector<Track> tracks = {makeTrack(1, 10, 30), makeTrack(2, 90, 50)};
    auto at = [&](int32_t frame) {
        Settings f = s;
        f.frameNumber = frame;
        return drawn(tracks, {0, 1, 82.5f}, f, 100);
    };
    EXPECT_TRUE(samePixels(at(3), at(3)));
    int32_t different = 0;
    for (int32_t f = 4; f < 10; ++f) different += samePixels(at(3), at(f)) ? 0 : 1;
    EXPECT_GE(different, 5);
}

TEST(ConnectionStrokes, FlickerKeepsOpacityInItsBand) {
    // On the axis of a vertical 4-px line the coverage is 1: the value is the opacity.
    const std::vector<Track> tracks = {makeTrack(1, 20.5f, 5), makeTrack(2, 20.5f, 35)};
    for (float flicker : {1.0f, 0.25f}) {
        Settings s = lineSettings();
        s.lineWidth = 4.0f;
        s.lineOpacity = 0.8f;
        s.lineFlicker = flicker;
        std::set<float> seen;
        for (s.frameNumber = 0; s.frameNumber < 60; ++s.frameNumber) {
            const float v = drawn(tracks, {0, 1, 30.0f}, s, 40).at(20, 20).r;
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
    const Image base = drawn(tracks, e, lineSettings());
    for (int32_t motif : {1, 2, 3, 4}) {
        Settings s = lineSettings();
        s.lineMotif = static_cast<ormel::LineMotif>(motif);
        s.motifSpacing = 40.0f;
        EXPECT_FALSE(samePixels(drawn(tracks, e, s), base)) << motif;
        s.motifSpacing = 2.0f;
        EXPECT_TRUE(samePixels(drawn(tracks, e, s), base)) << motif;
        s.motifSpacing = 40.0f;
        s.motifOpacity = 0.0f;
        EXPECT_TRUE(samePixels(drawn(tracks, e, s), base)) << motif;
    }
}

TEST(ConnectionStrokes, ShortEdgeGetsOneMotifAtItsMiddleArrowsPointAtB) {
    Settings s = lineSettings();
    s.lineWidth = 0.5f;
    s.lineMotif = ormel::LineMotif::Dot;
    s.motifSize = 20.0f;
    const std::vector<Track> tracks = {makeTrack(1, 10, 30), makeTrack(2, 50, 30)};
    Image want(70, 60, kBlack);
    drawLine(want, {10, 30}, {50, 30}, 0.5f, s.lineColor, 1.0f, 0.0f, 0.0f);
    drawDisk(want, {30, 30}, 7.0f, s.lineColor, 0.85f);
    EXPECT_TRUE(samePixels(drawn(tracks, {0, 1, 40.0f}, s, 70), want));

    s.lineWidth = 1.0f;
    s.lineMotif = ormel::LineMotif::Arrow;
    s.motifSize = 10.0f;
    // Tip at x = 30, barbs back to x = 20 at y = 30 +- 4.8, on the side of track a.
    const Image forward = drawn(tracks, {0, 1, 40.0f}, s, 70);
    const Image backward = drawn(tracks, {1, 0, 40.0f}, s, 70);
    EXPECT_GT(forward.at(20, 34).r, 0.5f);
    EXPECT_GT(forward.at(20, 25).r, 0.5f);
    EXPECT_EQ(forward.at(39, 34).r, 0.0f);
    EXPECT_GT(backward.at(40, 34).r, 0.5f);
    EXPECT_EQ(backward.at(21, 34).r, 0.0f);
}

}  // namespace
}  // namespace ormel
