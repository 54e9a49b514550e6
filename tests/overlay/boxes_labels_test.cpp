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

std::string label(const Track& t, int32_t mode, int32_t w = 1920, int32_t h = 1080) {
    Settings s;
    s.labelTextMode = static_cast<ormel::LabelText>(mode);
    return labelText(t, s, w, h);
}

TEST(LabelText, EveryMode) {
    Track t = makeTrack(7, 120.4f, 63.5f, 321);
    t.speed = 12.5f;
    const std::string texts[] = {"ID_7 X:120 Y:64", "X:120 Y:64", "N X:6 Y:6", "ID_7 V:13",
                                 "ID_7 A:321",      "TARGET_7",   "TRACK_7 X:120 Y:64 V:13"};
    for (int32_t mode = 0; mode < 7; ++mode) EXPECT_EQ(label(t, mode), texts[mode]) << mode;
    EXPECT_EQ(label(t, 42), texts[0]);
    EXPECT_EQ(label(t, -3), texts[0]);
    Settings s;
    s.labelCoordinates = false;
    EXPECT_EQ(labelText(t, s, 100, 100), "ID_7");
    s.labelVelocity = true;
    EXPECT_EQ(labelText(t, s, 100, 100), "ID_7 V:13");
    s.labelCoordinates = true;
    EXPECT_EQ(labelText(t, s, 100, 100), "ID_7 X:120 Y:64 V:13");
}

TEST(LabelText, RoundingPercentagesAndBrokenNumbers) {
    EXPECT_EQ(label(makeTrack(1, 99.5f, -0.5f), 1), "X:100 Y:-1");  // halves away from zero
    EXPECT_EQ(label(makeTrack(1, -2.49f, 2.5f), 1), "X:-2 Y:3");
    EXPECT_EQ(label(makeTrack(1, 1920.0f, 1080.0f), 2), "N X:100 Y:100");
    EXPECT_EQ(label(makeTrack(1, 2500.0f, -40.0f), 2), "N X:100 Y:0");
    EXPECT_EQ(label(makeTrack(1, 9.6f, 5.39f), 2), "N X:1 Y:0");  // 0.5 -> 1, 0.499 -> 0
    EXPECT_EQ(label(makeTrack(1, 50.0f, 50.0f), 2, 0, -4), "N X:0 Y:0");
    Track broken = makeTrack(2, std::numeric_limits<float>::quiet_NaN(), 3e9f);
    broken.speed = -std::numeric_limits<float>::infinity();
    EXPECT_EQ(label(broken, 6), "TRACK_2 X:0 Y:2147483647 V:-2147483648");
}

TEST(Caption, TextAndScales) {
    Settings s;
    const Track t = makeTrack(7, 120.4f, 63.5f, 321);
    EXPECT_EQ(captionText(t, s), "ID_7 X:120 Y:64");
    s.boxTextCoordinates = false;
    EXPECT_EQ(captionText(t, s), "ID_7");
    for (int32_t scale : {4, 1, -9}) {
        s.boxTextScale = scale;
        EXPECT_EQ(captionScale(t, s), scale >= 2 ? scale : 1);
    }
    s.randomBoxTextSize = true;
    s.boxTextSizeMin = 3;
    s.boxTextSizeMax = 1;  // bounds are ordered
    std::set<int32_t> seen;
    for (int32_t id = 1; id < 200; ++id) seen.insert(captionScale(makeTrack(id, 0, 0, 50 + id), s));
    EXPECT_EQ(seen, (std::set<int32_t>{1, 2, 3}));
    s.boxTextSizeMin = 1;
    s.boxTextSizeMax = std::numeric_limits<int32_t>::max();
    for (int32_t id = 1; id < 50; ++id) EXPECT_GE(captionScale(makeTrack(id, 0, 0), s), 1);
}

TEST(Caption, PlacedBesideEachCornerAndKeptInside) {
    Settings s;
    Track t = makeTrack(1, 100, 100);
    t.blob.minX = 80;
    t.blob.maxX = 120;
    t.blob.minY = 90;
    t.blob.maxY = 110;
    const int32_t cases[][3] = {{0, 45, 90}, {1, 125, 90}, {2, 45, 100}, {3, 125, 100}, {9, 125, 90}};
    for (const auto& c : cases) {
        s.boxTextCorner = static_cast<ormel::BoxCorner>(c[0]);
        const TextPosition p = captionPosition(t, s, 30, 10, 400, 300);
        EXPECT_EQ(p.x, c[1]) << c[0];
        EXPECT_EQ(p.y, c[2]) << c[0];
    }
    s.boxTextCorner = ormel::BoxCorner::TopRight;
    s.boxTextOffset = -20;  // counts as 0
    EXPECT_EQ(captionPosition(t, s, 30, 10, 400, 300).x, 120);
    s.boxTextOffset = 5;
    s.boxTextCorner = ormel::BoxCorner::TopLeft;
    t.blob.minX = 10;
    EXPECT_EQ(captionPosition(t, s, 30, 10, 400, 300).x, 0);    // off the left edge
    EXPECT_EQ(captionPosition(t, s, 900, 10, 400, 300).x, 0);   // wider than the picture
    s.boxTextCorner = ormel::BoxCorner::BottomRight;
    t.blob.maxX = 390;
    t.blob.maxY = 2;
    EXPECT_EQ(captionPosition(t, s, 30, 10, 400, 300).x, 370);  // off the right edge
    EXPECT_EQ(captionPosition(t, s, 30, 10, 400, 300).y, 0);
    s.boxTextOffset = std::numeric_limits<int32_t>::max();
    t.blob.maxX = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(captionPosition(t, s, 30, 10, 400, 300).x, 370);
}

TEST(BoxAndLabel, DrawnWithFixedOpacitiesAtTheirPlaces) {
    Settings s;
    s.glowAmount = 0.0f;
    s.drawBoxText = true;
    s.boxTextScale = 1;
    const Track t = makeTrack(3, 40, 30);
    Image got(160, 80, kBlack), want(160, 80, kBlack);
    drawBox(got, t, s);
    drawRect(want, 35, 25, 45, 35, s.boxStroke, s.boxColor, 0.85f, s);
    drawText(want, 50, 25, "ID_3 X:40 Y:30", 1, s.boxTextColor, 0.95f);
    EXPECT_TRUE(samePixels(got, want));

    s.labelTextMode = ormel::LabelText::Target;
    s.labelOffsetX = -30;
    s.labelOffsetY = -6;
    Image lab(100, 40, kBlack), text(100, 40, kBlack);
    drawLabel(lab, makeTrack(9, 20.5f, 10.4f), s);
    drawText(text, 21 - 30, 10 - 6, "TARGET_9", s.labelScale, s.labelColor, 0.95f);
    EXPECT_TRUE(samePixels(lab, text));
}

}  // namespace
}  // namespace ormel
