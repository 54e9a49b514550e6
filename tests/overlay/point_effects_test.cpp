#include "overlay/point_effects.h"

#include <gtest/gtest.h>

#include <limits>
#include <numeric>
#include <vector>

#include "tests/overlay/overlay_test_support.h"

namespace ormel {
namespace {

using testing_support::makeTrack;
using testing_support::samePixels;

std::vector<Track> tracksOf(int32_t n) {
    std::vector<Track> tracks;
    for (int32_t i = 0; i < n; ++i) tracks.push_back(makeTrack(i + 1, 10.0f * i, 5.0f, 40 + 3 * i));
    return tracks;
}

int32_t countOf(const std::vector<uint8_t>& v) { return std::accumulate(v.begin(), v.end(), 0); }

std::vector<uint8_t> pick(const std::vector<Track>& t, bool random, int32_t lo, int32_t hi,
                          float share, int32_t slot = 0, bool enabled = true) {
    return selectPointEffectTracks(t, Settings{}, enabled, random, lo, hi, share, 761, slot);
}

TEST(EffectSelection, CountsFollowShareAndBounds) {
    const auto ten = tracksOf(10);
    EXPECT_EQ(countOf(pick(ten, false, 1, 2, 0.25f)), 10);  // not random: everyone
    EXPECT_EQ(countOf(pick(ten, true, 1, 2, 0.25f, 0, false)), 0);
    EXPECT_EQ(countOf(pick(ten, true, 1, 2, 0.25f)), 2);  // nearest(2.5) = 3, capped to 2
    EXPECT_EQ(countOf(pick(ten, true, 1, 5, 0.25f)), 3);
    EXPECT_EQ(countOf(pick(ten, true, 1, 5, 0.0f)), 1);   // share 0: the minimum
    EXPECT_EQ(countOf(pick(ten, true, 0, 5, 0.0f)), 0);
    EXPECT_EQ(countOf(pick(ten, true, 40, 50, 0.0f)), 10);  // minimum clamped to n
    EXPECT_EQ(countOf(pick(ten, true, 1, 10, 1.0f)), 10);
    EXPECT_EQ(countOf(pick(ten, true, 1, 512, 1.0f)), 10);
    EXPECT_EQ(countOf(pick(ten, true, 1, 9, 1.0f)), 9);
    EXPECT_EQ(countOf(pick(ten, true, 7, 3, 0.1f)), 7);  // max below min counts as min
    EXPECT_EQ(countOf(pick(ten, true, -4, -9, 0.9f)), 0);
    EXPECT_EQ(countOf(pick(ten, true, 0, 10, std::numeric_limits<float>::quiet_NaN())), 10);
    EXPECT_EQ(countOf(pick(ten, true, 0, 10, 7.5f)), 10);
    EXPECT_TRUE(pick({}, true, 1, 2, 0.5f).empty());
}

TEST(EffectSelection, SlotsRedrawTheRandomChoice) {
    const auto tracks = tracksOf(30);
    const auto first = pick(tracks, true, 1, 30, 0.3f, 0);
    EXPECT_EQ(first, pick(tracks, true, 1, 30, 0.3f, 0));
    int32_t changed = 0;
    for (int32_t slot = 1; slot < 6; ++slot) changed += pick(tracks, true, 1, 30, 0.3f, slot) != first;
    EXPECT_GE(changed, 4);

    Settings s;
    s.frameNumber = 0;
    s.pointFlashSpeed = 0.25f;
    for (int32_t f = 0; f < 4; ++f) {
        s.frameNumber = f;
        EXPECT_EQ(flashSlot(s), 0);
    }
    s.frameNumber = 4;
    EXPECT_EQ(flashSlot(s), 1);
    s.frameNumber = -12;
    EXPECT_EQ(flashSlot(s), 0);
    EXPECT_EQ(inversionSlot(s), 0);
    s.frameNumber = 13;
    EXPECT_EQ(inversionSlot(s), 13);
    s.pointFlashSpeed = 0.0f;  // raised to 0.05
    s.frameNumber = 40;
    EXPECT_EQ(flashSlot(s), 2);
    s.pointFlashSpeed = 1e30f;
    s.frameNumber = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(flashSlot(s), std::numeric_limits<int32_t>::max());
    s.pointFlashSpeed = std::numeric_limits<float>::quiet_NaN();
    EXPECT_GE(flashSlot(s), 0);
}

TEST(EffectSelection, DependsOnAreaAndOrder) {
    auto tracks = tracksOf(12);
    const auto before = pick(tracks, true, 3, 3, 0.0f);
    int32_t moved = 0;
    for (int32_t area = 1; area < 8; ++area) {
        tracks[0].blob.area = 1000 + area;
        tracks[5].blob.area = 2000 + area;
        moved += pick(tracks, true, 3, 3, 0.0f) != before;
    }
    EXPECT_GE(moved, 3);
}

TEST(SampleBilinear, ValuesSitAtIntegerPoints) {
    Image src(2, 2);
    src.at(0, 0) = {0, 0, 0, 1};
    src.at(1, 0) = {1, 0, 0, 1};
    src.at(0, 1) = {0, 1, 0, 0};
    src.at(1, 1) = {1, 1, 1, 0};
    const Pixel c = sampleBilinear(src, 0.5f, 0.5f);
    EXPECT_FLOAT_EQ(c.r, 0.5f);
    EXPECT_FLOAT_EQ(c.g, 0.5f);
    EXPECT_FLOAT_EQ(c.b, 0.25f);
    EXPECT_FLOAT_EQ(c.a, 0.5f);
    const Pixel corner = sampleBilinear(src, 7.0f, -3.0f);  // clamped to (1, 0)
    EXPECT_EQ(corner.r, 1.0f);
    EXPECT_EQ(corner.g, 0.0f);
    const Pixel nan = sampleBilinear(src, std::numeric_limits<float>::quiet_NaN(), 0.0f);
    EXPECT_EQ(nan.r, 0.0f);
    const Pixel none = sampleBilinear(Image{}, 3.0f, 3.0f);
    EXPECT_EQ(none.r, 0.0f);
    EXPECT_EQ(none.a, 1.0f);
}

Settings effectSettings() {
    Settings s;
    s.pointSize = 6.0f;
    s.pointShape = 1;
    return s;
}

TEST(PointEffects, EmptySourceMagnifiesBlackAndInvertsToWhite) {
    const std::vector<Track> tracks = {makeTrack(1, 20, 20)};
    Settings s = effectSettings();
    s.magnifierEnable = true;
    s.magnifierRandom = false;
    s.magnifierIntensity = 0.5f;
    s.magnifierOpacity = 1.0f;
    Image out(40, 40, Pixel{0.5f, 0.5f, 0.5f, 1.0f});
    drawPointEffects(out, Image{}, tracks, s);
    EXPECT_EQ(out.at(20, 20).r, 0.0f);
    EXPECT_EQ(out.at(2, 2).r, 0.5f);

    s.magnifierEnable = false;
    s.pointInvertEnable = true;
    s.pointInvertRandom = false;
    s.pointInvertIntensity = 1.0f;
    Image inv(40, 40, Pixel{0.5f, 0.5f, 0.5f, 1.0f});
    drawPointEffects(inv, Image{}, tracks, s);
    EXPECT_EQ(inv.at(20, 20).r, 1.0f);

    // Switched on but at zero strength: nothing.
    s.pointInvertIntensity = 0.0f;
    s.magnifierEnable = true;
    s.magnifierIntensity = 0.0f;
    Image none(40, 40, Pixel{0.5f, 0.5f, 0.5f, 1.0f});
    drawPointEffects(none, Image{}, tracks, s);
    EXPECT_TRUE(samePixels(none, Image(40, 40, Pixel{0.5f, 0.5f, 0.5f, 1.0f})));
}

TEST(PointEffects, MagnifierEnlargesTheSourceAboutTheCentre) {
    // A source whose red channel is the column index: zoom 4 about x = 20
    // shows columns 20 + (x + 0.5 - 20) / 4.
    Image src(40, 40);
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 40; ++x) src.at(x, y) = {float(x), 0, 0, 1};
    Settings s = effectSettings();
    s.pointSize = 10.0f;
    s.magnifierEnable = true;
    s.magnifierRandom = false;
    s.magnifierIntensity = 1.0f;
    s.magnifierOpacity = 1.0f;
    Image out(40, 40);
    drawPointEffects(out, src, {makeTrack(1, 20, 20)}, s);
    EXPECT_FLOAT_EQ(out.at(24, 20).r, 20.0f + 4.5f / 4.0f);
    EXPECT_FLOAT_EQ(out.at(16, 20).r, 20.0f - 3.5f / 4.0f);
}

TEST(PointEffects, ZoneShapeFollowsThePointShape) {
    Settings s = effectSettings();
    s.pointSize = 8.0f;
    s.pointFlashEnable = true;
    s.pointFlashRandom = false;
    s.pointFlashIntensity = 1.0f;
    const std::vector<Track> tracks = {makeTrack(1, 20, 20)};
    auto flash = [&](int32_t shape) {
        Settings f = s;
        f.pointShape = shape;
        Image out(40, 40, Pixel{0, 0, 0, 1});
        drawPointEffects(out, Image{}, tracks, f);
        return out;
    };
    const Image circle = flash(1), square = flash(2), dot = flash(0);
    // Corner (26.5, 26.5): Chebyshev 6.5 is inside R + 0.75 = 8.75, Euclidean 9.19 is not.
    EXPECT_GT(square.at(26, 26).r, 0.0f);
    EXPECT_EQ(circle.at(26, 26).r, 0.0f);
    // On the axis at 6.5 px the circle reaches, the dot (radius 4) does not.
    EXPECT_GT(circle.at(26, 20).r, 0.0f);
    EXPECT_EQ(dot.at(26, 20).r, 0.0f);
    EXPECT_GT(dot.at(23, 20).r, 0.0f);
    // Brightest at the centre.
    EXPECT_GE(circle.at(20, 20).r, circle.at(25, 20).r);
}

TEST(PointEffects, OnlySelectedTracksAreDressed) {
    Settings s = effectSettings();
    s.pointFlashEnable = true;
    s.pointFlashIntensity = 1.0f;
    s.pointFlashRandom = true;
    s.pointFlashMinTargets = 2;
    s.pointFlashMaxTargets = 2;
    s.pointFlashFrequency = 0.0f;
    std::vector<Track> tracks;
    for (int32_t i = 0; i < 8; ++i) tracks.push_back(makeTrack(i + 1, 10.0f + 20.0f * i, 10.0f, 30 + i));
    Image out(170, 20, Pixel{0, 0, 0, 1});
    drawPointEffects(out, Image{}, tracks, s);
    const auto chosen = selectPointEffectTracks(tracks, s, true, true, 2, 2, 0.0f, 761, flashSlot(s));
    for (size_t i = 0; i < tracks.size(); ++i) {
        const bool lit = out.at(10 + 20 * static_cast<int32_t>(i), 10).r > 0.0f;
        EXPECT_EQ(lit, chosen[i] == 1) << i;
    }
}

TEST(PointEffects, BrokenInputsStayInsideTheImage) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Settings s = effectSettings();
    s.magnifierEnable = s.pointFlashEnable = s.pointInvertEnable = true;
    s.magnifierRandom = s.pointFlashRandom = s.pointInvertRandom = false;
    s.magnifierIntensity = s.pointFlashIntensity = s.pointInvertIntensity = 1.0f;
    s.magnifierRadiusScale = 1e30f;
    s.pointFlashGlow = nan;
    std::vector<Track> tracks = {makeTrack(1, nan, 5), makeTrack(2, 1e30f, -1e30f), makeTrack(3, 5, 5)};
    Image src(4, 3, Pixel{0.2f, 0.4f, 0.6f, 1.0f});
    Image out(16, 12);
    drawPointEffects(out, src, tracks, s);
    s.pointSize = 1e30f;
    drawPointEffects(out, src, tracks, s);
    Image bad(5, 5);
    bad.pixels.resize(3);  // inconsistent image: left alone
    drawPointEffects(bad, src, tracks, s);
    EXPECT_EQ(bad.pixels.size(), 3u);
    for (const Pixel& p : out.pixels) ASSERT_TRUE(p.a >= 0.0f && p.a <= 1.0f);
}

}  // namespace
}  // namespace ormel
