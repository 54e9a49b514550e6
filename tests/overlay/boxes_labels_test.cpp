#include "overlay/boxes_labels.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>

#include "overlay/bitmap_text.h"
#include "overlay/raster.h"
#include "tests/overlay/overlay_test_support.h"

namespace ormel {
namespace {

using testing_support::makeTrack;
using testing_support::samePixels;

const Pixel kBlack{0, 0, 0, 1};

Track sample() {
    Track t = makeTrack(7, 120.4f, 63.5f, 321);
    t.speed = 12.5f;
    return t;
}

TEST(LabelText, EveryMode) {
    Settings s;
    const Track t = sample();
    const std::string texts[] = {"ID_7 X:120 Y:64",  "X:120 Y:64", "N X:6 Y:6",
                                 "ID_7 V:13",        "ID_7 A:321", "TARGET_7",
                                 "TRACK_7 X:120 Y:64 V:13"};
    for (int32_t mode = 0; mode < 7; ++mode) {
        s.labelTextMode = mode;
        EXPECT_EQ(labelText(t, s, 1920, 1080), texts[mode]) << mode;
    }
    s.labelTextMode = 42;
    EXPECT_EQ(labelText(t, s, 1920, 1080), texts[0]);
    s.labelTextMode = -3;
    EXPECT_EQ(labelText(t, s, 1920, 1080), texts[0]);
}

TEST(LabelText, ModeZeroSwitchesAndSwitchesElsewhereIgnored) {
    Settings s;
    const Track t = sample();
    s.labelCoordinates = false;
    EXPECT_EQ(labelText(t, s, 100, 100), "ID_7");
    s.labelVelocity = true;
    EXPECT_EQ(labelText(t, s, 100, 100), "ID_7 V:13");
    s.labelCoordinates = true;
    EXPECT_EQ(labelText(t, s, 100, 100), "ID_7 X:120 Y:64 V:13");
    s.labelTextMode = 1;
    EXPECT_EQ(labelText(t, s, 100, 100), "X:120 Y:64");
}

TEST(LabelText, RoundingHalvesAwayFromZeroAndNegatives) {
    Settings s;
    s.labelTextMode = 1;
    EXPECT_EQ(labelText(makeTrack(1, 99.5f, -0.5f), s, 100, 100), "X:100 Y:-1");
    EXPECT_EQ(labelText(makeTrack(1, -2.49f, 2.5f), s, 100, 100), "X:-2 Y:3");
    s.labelTextMode = 3;
    Track slow = makeTrack(4, 0, 0);
    slow.speed = 0.5f;
    EXPECT_EQ(labelText(slow, s, 100, 100), "ID_4 V:1");
}

TEST(LabelText, NormalisedCoordinatesArePercentagesClampedTo0To100) {
    Settings s;
    s.labelTextMode = 2;
    EXPECT_EQ(labelText(makeTrack(1, 1920.0f, 1080.0f), s, 1920, 1080), "N X:100 Y:100");
    EXPECT_EQ(labelText(makeTrack(1, 2500.0f, -40.0f), s, 1920, 1080), "N X:100 Y:0");
    EXPECT_EQ(labelText(makeTrack(1, 9.6f, 5.39f), s, 1920, 1080), "N X:1 Y:0");  // 0.5 -> 1, 0.499 -> 0
    EXPECT_EQ(labelText(makeTrack(1, 50.0f, 50.0f), s, 0, -4), "N X:0 Y:0");
}

TEST(LabelText, BrokenNumbersStillGiveText) {
    Settings s;
    s.labelTextMode = 6;
    Track t = makeTrack(2, std::numeric_limits<float>::quiet_NaN(), 3e9f);
    t.speed = -std::numeric_limits<float>::infinity();
    EXPECT_EQ(labelText(t, s, 100, 100), "TRACK_2 X:0 Y:2147483647 V:-2147483648");
}

TEST(Caption, TextAndFixedScale) {
    Settings s;
    const Track t = sample();
    EXPECT_EQ(captionText(t, s), "ID_7 X:120 Y:64");
    s.boxTextCoordinates = false;
    EXPECT_EQ(captionText(t, s), "ID_7");
    s.boxTextScale = 4;
    EXPECT_EQ(captionScale(t, s), 4);
    s.boxTextScale = 1;
    EXPECT_EQ(captionScale(t, s), 1);
    s.boxTextScale = -9;
    EXPECT_EQ(captionScale(t, s), 1);
}

TEST(Caption, RandomScaleCoversTheOrderedRange) {
    Settings s;
    s.randomBoxTextSize = true;
    s.boxTextSizeMin = 3;
    s.boxTextSizeMax = 1;
    std::set<int32_t> seen;
    for (int32_t id = 1; id < 200; ++id) {
        const int32_t v = captionScale(makeTrack(id, 0, 0, 50 + id), s);
        ASSERT_GE(v, 1);
        ASSERT_LE(v, 3);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 3u);
    // Bounds below 1 are raised; a huge range stays in range.
    s.boxTextSizeMin = -5;
    s.boxTextSizeMax = -2;
    EXPECT_EQ(captionScale(makeTrack(3, 0, 0), s), 1);
    s.boxTextSizeMin = 1;
    s.boxTextSizeMax = std::numeric_limits<int32_t>::max();
    for (int32_t id = 1; id < 50; ++id) EXPECT_GE(captionScale(makeTrack(id, 0, 0), s), 1);
}

TEST(Caption, PlacedBesideEachCornerAndKeptInside) {
    Settings s;
    s.boxTextOffset = 5;
    Track t = makeTrack(1, 100, 100);
    t.blob.minX = 80;
    t.blob.maxX = 120;
    t.blob.minY = 90;
    t.blob.maxY = 110;
    const int64_t w = 30, h = 10;
    struct Case { int32_t corner, x, y; };
    for (Case c : {Case{0, 45, 90}, Case{1, 125, 90}, Case{2, 45, 100}, Case{3, 125, 100},
                   Case{9, 125, 90}, Case{-1, 125, 90}}) {
        s.boxTextCorner = c.corner;
        const TextPosition p = captionPosition(t, s, w, h, 400, 300);
        EXPECT_EQ(p.x, c.x) << c.corner;
        EXPECT_EQ(p.y, c.y) << c.corner;
    }
    // Negative offsets count as 0.
    s.boxTextCorner = 1;
    s.boxTextOffset = -20;
    EXPECT_EQ(captionPosition(t, s, w, h, 400, 300).x, 120);
    // Off the left edge -> 0; past the right edge -> width - W; wider than the picture -> 0.
    s.boxTextOffset = 5;
    s.boxTextCorner = 0;
    t.blob.minX = 10;
    EXPECT_EQ(captionPosition(t, s, w, h, 400, 300).x, 0);
    s.boxTextCorner = 3;
    t.blob.maxX = 390;
    t.blob.maxY = 2;
    const TextPosition p = captionPosition(t, s, w, h, 400, 300);
    EXPECT_EQ(p.x, 370);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(captionPosition(t, s, 900, h, 400, 300).x, 0);
    // Extreme offsets and bounds do not overflow.
    s.boxTextOffset = std::numeric_limits<int32_t>::max();
    t.blob.maxX = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(captionPosition(t, s, w, h, 400, 300).x, 370);
}

TEST(BoxAndCaption, DrawnAtTheBoxWithFixedOpacities) {
    Settings s;
    s.glowAmount = 0.0f;
    s.drawBoxText = true;
    s.boxTextScale = 1;
    Track t = makeTrack(3, 40, 30);
    Image got(160, 80, kBlack), want(160, 80, kBlack);
    drawBox(got, t, s);
    drawRect(want, 35, 25, 45, 35, s.boxStroke, s.boxColor, 0.85f, s);
    drawText(want, 50, 25, "ID_3 X:40 Y:30", 1, s.boxTextColor, 0.95f);
    EXPECT_TRUE(samePixels(got, want));

    s.drawBoxText = false;
    Image bare(160, 80, kBlack), rect(160, 80, kBlack);
    drawBox(bare, t, s);
    drawRect(rect, 35, 25, 45, 35, s.boxStroke, s.boxColor, 0.85f, s);
    EXPECT_TRUE(samePixels(bare, rect));
}

TEST(Label, DrawnAtTheRoundedCentrePlusOffsetsUnclamped) {
    Settings s;
    s.labelTextMode = 5;
    s.labelScale = 2;
    s.labelOffsetX = -30;
    s.labelOffsetY = -6;
    const Track t = makeTrack(9, 20.5f, 10.4f);
    Image got(100, 40, kBlack), want(100, 40, kBlack);
    drawLabel(got, t, s);
    drawText(want, 21 - 30, 10 - 6, "TARGET_9", 2, s.labelColor, 0.95f);
    EXPECT_TRUE(samePixels(got, want));

    s.labelOffsetX = std::numeric_limits<int32_t>::max();
    s.labelScale = std::numeric_limits<int32_t>::max();
    Image far(100, 40, kBlack);
    drawLabel(far, t, s);
    EXPECT_TRUE(samePixels(far, Image(100, 40, kBlack)));
}

}  // namespace
}  // namespace ormel
