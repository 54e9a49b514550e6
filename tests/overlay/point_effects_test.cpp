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

std::vector<uint8_t> pick(const std::vector<Track>& t, bool random, int32_t lo, int32_t hi,
                          float share, int32_t slot = 0) {
    return selectPointEffectTracks(t, Settings{}, true, random, lo, hi, share, 761, slot);
}

int32_t count(const std::vector<uint8_t>& v) { return std::accumulate(v.begin(), v.end(), 0); }

TEST(EffectSelection, CountsFollowShareAndBounds) {
    const auto ten = tracksOf(10);
    EXPECT_EQ(count(pick(ten, false, 1, 2, 0.25f)), 10);  // not random: every track
    EXPECT_EQ(count(selectPointEffectTracks(ten, Settings{}, false, true, 1, 2, 0.25f, 761, 0)), 0);
    EXPECT_EQ(count(pick(ten, true, 1, 2, 0.25f)), 2);  // nearest(2.5) = 3, capped to 2
    EXPECT_EQ(count(pick(ten, true, 1, 5, 0.25f)), 3);
    EXPECT_EQ(count(pick(ten, true, 1, 5, 0.0f)), 1);  // share 0: the minimum
    EXPECT_EQ(count(pick(ten, true, 0, 5, 0.0f)), 0);
    EXPECT_EQ(count(pick(ten, true, 40, 50, 0.0f)), 10);  // minimum clamped to n
    EXPECT_EQ(count(pick(ten, true, 1, 512, 1.0f)), 10);
    EXPECT_EQ(count(pick(ten, true, 1, 9, 1.0f)), 9);
    EXPECT_EQ(count(pick(ten, true, 7, 3, 0.1f)), 7);  // max below min counts as min
    EXPECT_EQ(count(pick(ten, true, 0, 10, std::numeric_limits<float>::quiet_NaN())), 10);
    EXPECT_TRUE(pick({}, true, 1, 2, 0.5f).empty());
}

TEST(EffectSelection, TimeSlotsRedrawTheRandomChoice) {
    const auto tracks = tracksOf(30);
    const auto first = pick(tracks, true, 1, 30, 0.3f, 0);
    EXPECT_EQ(first, pick(tracks, true, 1, 30, 0.3f, 0));
    int32_t changed = 0;
    for (int32_t slot = 1; slot < 6; ++slot) changed += pick(tracks, true, 1, 30, 0.3f, slot) != first;
    EXPECT_GE(changed, 4);

    Settings s;
    s.pointFlashSpeed = 0.25f;  // a new choice every 4 frames
    for (s.frameNumber = 0; s.frameNumber < 4; ++s.frameNumber) EXPECT_EQ(flashSlot(s), 0);
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
}

TEST(SampleBilinear, ValuesSitAtIntegerPoints) {
    Image src(2, 2);
    src.at(0, 0) = {0, 0, 0, 1};
    src.at(1, 0) = {1, 0, 0, 1};
    src.at(0, 1) = {0, 1, 0, 0};
    src.at(1, 1) = {1, 1, 1, 0};
    const Pixel c = sampleBilinear(src, 0.5f, 0.5f);
    EXPECT_EQ(c.r, 0.5f);
    EXPECT_EQ(c.b, 0.25f);
    EXPECT_EQ(c.a, 0.5f);
    EXPECT_EQ(sampleBilinear(src, 7.0f, -3.0f).r, 1.0f);  // clamped to (1, 0)
    EXPECT_EQ(sampleBilinear(src, std::numeric_limits<float>::quiet_NaN(), 0.0f).r, 0.0f);
    EXPECT_EQ(sampleBilinear(Image{}, 3.0f, 3.0f).a, 1.0f);  // opaque black
}

Settings allOn(float size) {
    Settings s;
    s.pointSize = size;
    s.magnifierRandom = s.pointFlashRandom = s.pointInvertRandom = false;
    return s;
}

TEST(PointEffects, EmptySourceMagnifiesBlackAndInvertsToWhite) {
    const std::vector<Track> tracks = {makeTrack(1, 20, 20)};
    const Image grey(40, 40, Pixel{0.5f, 0.5f, 0.5f, 1.0f});
    Settings s = allOn(6.0f);
    s.magnifierEnable = true;
    s.magnifierIntensity = 0.5f;
    s.magnifierOpacity = 1.0f;
    Image mag = grey;
    drawPointEffects(mag, Image{}, tracks, s);
    EXPECT_EQ(mag.at(20, 20).r, 0.0f);
    EXPECT_EQ(mag.at(2, 2).r, 0.5f);
    s.magnifierIntensity = 0.0f;  // on but without strength: nothing
    s.pointInvertEnable = true;
    s.pointInvertIntensity = 1.0f;
    Image inv = grey;
    drawPointEffects(inv, Image{}, tracks, s);
    EXPECT_EQ(inv.at(20, 20).r, 1.0f);
    EXPECT_EQ(inv.at(2, 2).r, 0.5f);
}

TEST(PointEffects, MagnifierEnlargesTheSourceAboutTheCentre) {
    Image src(40, 40);  // red = column index
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 40; ++x) src.at(x, y) = {float(x), 0, 0, 1};
    Settings s = allOn(10.0f);
    s.magnifierEnable = true;
    s.magnifierIntensity = 1.0f;  // zoom 4
    s.magnifierOpacity = 1.0f;
    Image out(40, 40);
    drawPointEffects(out, src, {makeTrack(1, 20, 20)}, s);
    EXPECT_EQ(out.at(24, 20).r, 20.0f + 4.5f / 4.0f);
    EXPECT_EQ(out.at(16, 20).r, 20.0f - 3.5f / 4.0f);
}

TEST(PointEffects, ZoneFollowsThePointShapeAndTheSelection) {
    Settings s = allOn(8.0f);
    s.pointFlashEnable = true;
    s.pointFlashIntensity = 1.0f;
    auto flash = [&](int32_t shape) {
        Settings f = s;
        f.pointShape = static_cast<ormel::PointShape>(shape);
        Image out(40, 40, Pixel{0, 0, 0, 1});
        drawPointEffects(out, Image{}, {makeTrack(1, 20, 20)}, f);
        return out;
    };
    const Image circle = flash(1), square = flash(2), dot = flash(0);
    // (26.5, 26.5) is 6.5 away by Chebyshev, 9.19 by Euclid; the reach is 8 + 0.75.
    EXPECT_GT(square.at(26, 26).r, 0.0f);
    EXPECT_EQ(circle.at(26, 26).r, 0.0f);
    EXPECT_GT(circle.at(26, 20).r, 0.0f);  // 6.5 on the axis: inside the ring radius
    EXPECT_EQ(dot.at(26, 20).r, 0.0f);     // the dot's zone is half as wide
    EXPECT_GE(circle.at(20, 20).r, circle.at(25, 20).r);

    s.pointFlashRandom = true;
    s.pointFlashMinTargets = s.pointFlashMaxTargets = 2;
    std::vector<Track> tracks;
    for (int32_t i = 0; i < 8; ++i) tracks.push_back(makeTrack(i + 1, 10.0f + 20.0f * i, 10.0f, 30 + i));
    Image out(170, 20, Pixel{0, 0, 0, 1});
    drawPointEffects(out, Image{}, tracks, s);
    const auto chosen = selectPointEffectTracks(tracks, s, true, true, 2, 2, 0.25f, 761, flashSlot(s));
    for (size_t i = 0; i < tracks.size(); ++i) {
        EXPECT_EQ(out.at(10 + 20 * int32_t(i), 10).r > 0.0f, chosen[i] == 1) << i;
    }
}

}  // namespace
}  // namespace ormel
