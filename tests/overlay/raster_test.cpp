#include "overlay/raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/pixel_ops.h"
#include "tests/overlay/overlay_test_support.h"

namespace ormel {
namespace {

using testing_support::ramp;
using testing_support::samePixels;

const Pixel kWhite{1.0f, 1.0f, 1.0f, 1.0f};
const Pixel kBlack{0.0f, 0.0f, 0.0f, 1.0f};

// Whole-image versions of the disk and the segment, straight from their
// definitions: the clipped, row-narrowed, vectorised loops must change
// exactly the same pixels to the same bits.
void referenceDisk(Image& img, Vec2 c, float radius, Pixel colour, float opacity) {
    if (radius <= 0.0f || opacity <= 0.0f) return;
    for (int32_t y = 0; y < img.height; ++y) {
        for (int32_t x = 0; x < img.width; ++x) {
            const float dx = x + 0.5f - c.x, dy = y + 0.5f - c.y;
            const float cov = std::min(radius + 0.75f - std::sqrt(dx * dx + dy * dy), 1.0f);
            if (cov > 0.0f) img.at(x, y) = blendOver(img.at(x, y), colour, cov * opacity * colour.a);
        }
    }
}

void referenceLine(Image& img, Vec2 a, Vec2 b, float width, Pixel colour, float opacity, float dash) {
    if (opacity <= 0.0f) return;
    const float dx = b.x - a.x, dy = b.y - a.y;
    const float len2 = dx * dx + dy * dy, len = std::sqrt(len2);
    if (len <= 0.001f) return referenceDisk(img, a, width * 0.5f, colour, opacity);
    const float h = std::max(width * 0.5f, 0.5f);
    for (int32_t y = 0; y < img.height; ++y) {
        for (int32_t x = 0; x < img.width; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            const float t = std::min(std::max(((px - a.x) * dx + (py - a.y) * dy) / len2, 0.0f), 1.0f);
            if (dash > 1.0f && std::fmod(len * t, 2.0f * dash) > dash) continue;
            const float ex = px - (a.x + t * dx), ey = py - (a.y + t * dy);
            const float cov = std::min(h + 0.75f - std::sqrt(ex * ex + ey * ey), 1.0f);
            if (cov > 0.0f) img.at(x, y) = blendOver(img.at(x, y), colour, cov * opacity * colour.a);
        }
    }
}

TEST(DrawDisk, MatchesWholeImageScanIncludingClippedEdges) {
    const Pixel colour{0.9f, 0.2f, 0.1f, 0.8f};
    for (Vec2 c : {Vec2{20.3f, 17.8f}, Vec2{-3.0f, 5.5f}, Vec2{58.9f, 44.1f}, Vec2{30.0f, -8.0f}}) {
        for (float r : {0.2f, 1.0f, 3.7f, 12.25f, 40.0f, 0.0f, -2.0f}) {
            Image got = ramp(60, 45), want = ramp(60, 45);
            drawDisk(got, c, r, colour, 0.7f);
            referenceDisk(want, c, r, colour, 0.7f);
            EXPECT_TRUE(samePixels(got, want)) << c.x << "," << c.y << " r=" << r;
        }
    }
}

TEST(DrawDisk, EdgeRampsOverOnePixel) {
    Image img(24, 24, kBlack);
    drawDisk(img, {10.0f, 10.0f}, 3.0f, kWhite, 1.0f);
    EXPECT_EQ(img.at(12, 9).r, 1.0f);  // d = 2.55: 3.75 - 2.55 clipped to 1
    EXPECT_NEAR(img.at(13, 9).r, 3.75f - std::sqrt(12.5f), 1e-6f);  // d = sqrt(3.5^2 + 0.5^2)
    EXPECT_EQ(img.at(14, 10).r, 0.0f);                              // d = 4.53, past 3.75
}

TEST(DrawLineCore, MatchesWholeImageScanForManyDirectionsAndDashes) {
    const Vec2 ends[][2] = {{{3.2f, 4.1f}, {55.7f, 38.9f}}, {{50.0f, 2.0f}, {4.0f, 40.0f}},
                            {{10.5f, 20.5f}, {48.5f, 20.5f}}, {{30.2f, -5.0f}, {30.2f, 60.0f}},
                            {{-20.0f, -10.0f}, {90.0f, 70.0f}}, {{12.0f, 12.0f}, {12.0004f, 12.0f}},
                            {{40.0f, 30.0f}, {41.0f, 44.0f}}};
    for (const auto& e : ends) {
        for (float w : {0.2f, 1.5f, 3.0f, 14.0f}) {
            for (float dash : {0.0f, 1.0f, 4.0f, 10.0f}) {
                Image got = ramp(60, 45), want = ramp(60, 45);
                drawLineCore(got, e[0], e[1], w, Pixel{0.1f, 0.8f, 0.4f, 1.0f}, 0.6f, dash);
                referenceLine(want, e[0], e[1], w, Pixel{0.1f, 0.8f, 0.4f, 1.0f}, 0.6f, dash);
                EXPECT_TRUE(samePixels(got, want)) << e[0].x << "," << e[0].y << " w=" << w
                                                   << " dash=" << dash;
            }
        }
    }
}

TEST(DrawLineCore, CoverageAcrossThickAndHairLines) {
    Image img(30, 20, kBlack), hair(30, 20, kBlack);
    drawLineCore(img, {2.0f, 10.0f}, {25.0f, 10.0f}, 2.0f, kWhite, 1.0f, 0.0f);
    EXPECT_EQ(img.at(12, 10).r, 1.0f);   // d = 0.5: 1.25 clipped to 1
    EXPECT_EQ(img.at(12, 11).r, 0.25f);  // d = 1.5: 1 + 0.75 - 1.5
    EXPECT_EQ(img.at(12, 12).r, 0.0f);
    // Width 0.2 is drawn half a pixel thick: d = 0.5 gives 0.5 + 0.75 - 0.5.
    drawLineCore(hair, {2.0f, 10.0f}, {25.0f, 10.0f}, 0.2f, kWhite, 1.0f, 0.0f);
    EXPECT_EQ(hair.at(12, 9).r, 0.75f);
    EXPECT_EQ(hair.at(12, 11).r, 0.0f);
}

TEST(DrawLineCore, DashesAlternateFromTheFirstEnd) {
    Image img(60, 12, kBlack), solid(60, 12, kBlack);
    drawLineCore(img, {0.0f, 5.5f}, {45.0f, 5.5f}, 2.0f, kWhite, 1.0f, 10.0f);
    drawLineCore(solid, {0.0f, 5.5f}, {45.0f, 5.5f}, 2.0f, kWhite, 1.0f, 1.0f);
    for (int32_t x = 0; x < 45; ++x) {
        const bool inDash = x < 10 || (x >= 20 && x < 30) || x >= 40;
        EXPECT_EQ(img.at(x, 5).r, inDash ? 1.0f : 0.0f) << "x=" << x;
        EXPECT_EQ(solid.at(x, 5).r, 1.0f) << "x=" << x;
    }
}

TEST(DrawLine, HalosAndCoreEqualThreeSeparateSegments) {
    const Pixel c{0.3f, 0.6f, 0.9f, 1.0f};
    Image got = ramp(40, 30), want = ramp(40, 30);
    drawLine(got, {-6, 25}, {31, -4}, 2.5f, c, 0.9f, 4.0f, 0.5f);
    drawLineCore(want, {-6, 25}, {31, -4}, 2.5f * 8.0f, c, 0.9f * 0.08f, 4.0f);
    drawLineCore(want, {-6, 25}, {31, -4}, 2.5f * 4.0f, c, 0.9f * 0.12f, 4.0f);
    drawLineCore(want, {-6, 25}, {31, -4}, 2.5f, c, 0.9f, 4.0f);
    EXPECT_TRUE(samePixels(got, want));

    // A degenerate segment is a dot of half the width at its first end.
    Image dot(20, 20, kBlack), disk(20, 20, kBlack);
    drawLine(dot, {9.0f, 9.0f}, {9.0005f, 9.0f}, 6.0f, kWhite, 0.8f, 0.0f, 0.0f);
    drawDisk(disk, {9.0f, 9.0f}, 3.0f, kWhite, 0.8f);
    EXPECT_TRUE(samePixels(dot, disk));
}

// Solid horizontal and vertical strokes take their projection from per-column
// or per-row values instead of dividing at every pixel; with glow, ends at
// pixel centres and between them, and lengths around the vector width, every
// layer must still match the whole-image scan.
TEST(DrawLine, AxisAlignedGlowingStrokesMatchWholeImageScans) {
    const Pixel c{0.3f, 0.6f, 0.9f, 1.0f};
    for (float offset : {0.0f, 0.5f, 0.37f}) {
        for (float length : {0.5f, 7.0f, 8.0f, 9.0f, 16.5f, 33.0f}) {
            const float x = 6.0f + offset, y = 14.0f + offset;
            const Vec2 ends[][2] = {{{x, y}, {x + length, y}}, {{x + length, y}, {x, y}},
                                    {{x, y}, {x, y + length}}, {{x, y + length}, {x, y}}};
            for (const auto& e : ends) {
                Image got = ramp(50, 52), want = ramp(50, 52);
                drawLine(got, e[0], e[1], 1.5f, c, 0.8f, 0.0f, 0.35f);
                referenceLine(want, e[0], e[1], 1.5f * (8.0f * 0.35f + 4.0f), c, 0.8f * 0.35f * 0.16f, 0.0f);
                referenceLine(want, e[0], e[1], 1.5f * (4.0f * 0.35f + 2.0f), c, 0.8f * 0.35f * 0.24f, 0.0f);
                referenceLine(want, e[0], e[1], 1.5f, c, 0.8f, 0.0f);
                EXPECT_TRUE(samePixels(got, want)) << e[0].x << "," << e[0].y << " -> " << e[1].x << "," << e[1].y;
            }
        }
    }
}

TEST(DrawRect, EdgesInOrderEachWithItsOwnDashPhase) {
    Settings s;
    s.glowAmount = 0.0f;
    s.dashLength = 3.0f;
    const Pixel c{1.0f, 0.5f, 0.0f, 1.0f};
    Image got = ramp(40, 30), want = ramp(40, 30);
    drawRect(got, 4, 5, 30, 22, 2.0f, c, 0.5f, s);
    drawLineCore(want, {4, 5}, {30, 5}, 2.0f, c, 0.5f, 3.0f);
    drawLineCore(want, {30, 5}, {30, 22}, 2.0f, c, 0.5f, 3.0f);
    drawLineCore(want, {30, 22}, {4, 22}, 2.0f, c, 0.5f, 3.0f);
    drawLineCore(want, {4, 22}, {4, 5}, 2.0f, c, 0.5f, 3.0f);
    EXPECT_TRUE(samePixels(got, want));
}

TEST(RasterRobustness, NothingDrawnForInvisibleOrBrokenMarks) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Image before = ramp(32, 24);
    Image img = before;
    drawLineCore(img, {1, 1}, {18, 18}, 4.0f, kWhite, 0.0f, 0.0f);
    drawLineCore(img, {1, 1}, {18, 18}, 4.0f, Pixel{1, 1, 1, 0}, 1.0f, 0.0f);
    drawLineCore(img, {9, 9}, {9, 9}, 0.0f, kWhite, 1.0f, 0.0f);
    drawLineCore(img, {-40, -40}, {-20, 60}, 4.0f, kWhite, 1.0f, 0.0f);
    drawDisk(img, {nan, 4.0f}, 3.0f, kWhite, 1.0f);
    drawDisk(img, {4.0f, 4.0f}, nan, kWhite, 1.0f);
    drawDisk(img, {1e30f, -1e30f}, 5.0f, kWhite, 1.0f);
    drawLineCore(img, {nan, nan}, {3.0f, 3.0f}, 2.0f, kWhite, 1.0f, 0.0f);
    drawLine(img, {2.0f, 2.0f}, {9.0f, 9.0f}, nan, kWhite, 1.0f, 0.0f, 0.4f);
    drawLineCore(img, {-inf, 3.0f}, {inf, 3.0f}, 2.0f, kWhite, 1.0f, 0.0f);
    drawLineCore(img, {1e30f, 1e30f}, {2e30f, 1e30f}, 2.0f, kWhite, 1.0f, 5.0f);
    drawRect(img, nan, 0.0f, 5.0f, inf, 2.0f, kWhite, 1.0f, Settings{});
    EXPECT_TRUE(samePixels(img, before));

    // Endless sizes cover the image, clipped rather than looped over.
    Image all(32, 24, kBlack), wide(32, 24, kBlack);
    drawDisk(all, {5.0f, 5.0f}, inf, kWhite, 1.0f);
    drawLineCore(wide, {5.0f, 5.0f}, {9.0f, 5.0f}, 1e30f, kWhite, 1.0f, 0.0f);
    for (size_t i = 0; i < all.pixels.size(); ++i) {
        ASSERT_EQ(all.pixels[i].r, 1.0f);
        ASSERT_EQ(wide.pixels[i].r, 1.0f);
    }
    Image empty, mismatched(8, 8);
    mismatched.pixels.resize(5);
    drawLine(empty, {0, 0}, {5, 5}, 5.0f, kWhite, 1.0f, 2.0f, 1.0f);
    drawDisk(mismatched, {2, 2}, 5.0f, kWhite, 1.0f);
    EXPECT_EQ(mismatched.pixels.size(), 5u);
}

TEST(DrawLineCore, FarEndpointsMatchWholeImageScan) {
    // Marks whose ends lie tens of millions of pixels away can still cross the
    // picture (a huge curve amount or motif size from a preset file); the
    // narrowed rows must not lose pixels the per-pixel rule covers.
    const Vec2 ends[][2] = {{{-19999968.0f, -11999976.0f}, {20000032.0f, 12000024.0f}},
                            {{-59999968.0f, -23999976.0f}, {60000032.0f, 24000024.0f}}};
    for (const auto& e : ends) {
        Image got(64, 48, kBlack), want(64, 48, kBlack);
        drawLineCore(got, e[0], e[1], 2.0f, kWhite, 1.0f, 0.0f);
        referenceLine(want, e[0], e[1], 2.0f, kWhite, 1.0f, 0.0f);
        EXPECT_TRUE(samePixels(got, want)) << e[0].x << "," << e[0].y;
    }
    Image got(64, 48, kBlack), want(64, 48, kBlack);
    drawDisk(got, {-98877080.0f, -14943790.0f}, 100000000.0f, kWhite, 1.0f);
    referenceDisk(want, {-98877080.0f, -14943790.0f}, 100000000.0f, kWhite, 1.0f);
    EXPECT_TRUE(samePixels(got, want));
}

}  // namespace
}  // namespace ormel
