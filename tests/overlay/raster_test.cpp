#include "overlay/raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/pixel_ops.h"

namespace ormel {
namespace {

const Pixel kWhite{1.0f, 1.0f, 1.0f, 1.0f};

bool samePixels(const Image& x, const Image& y) {
    if (x.width != y.width || x.height != y.height) return false;
    for (size_t i = 0; i < x.pixels.size(); ++i) {
        const Pixel& p = x.pixels[i];
        const Pixel& q = y.pixels[i];
        if (p.r != q.r || p.g != q.g || p.b != q.b || p.a != q.a) return false;
    }
    return true;
}

// Straightforward whole-image versions of the disk and the segment, used to
// check that the clipped, row-narrowed loops change exactly the same pixels.
void referenceDisk(Image& img, Vec2 c, float radius, Pixel colour, float opacity) {
    if (radius <= 0.0f || opacity <= 0.0f) return;
    for (int32_t y = 0; y < img.height; ++y) {
        for (int32_t x = 0; x < img.width; ++x) {
            const float dx = static_cast<float>(x) + 0.5f - c.x;
            const float dy = static_cast<float>(y) + 0.5f - c.y;
            const float cov = std::min(radius + 0.75f - std::sqrt(dx * dx + dy * dy), 1.0f);
            if (cov > 0.0f) img.at(x, y) = blendOver(img.at(x, y), colour, cov * opacity * colour.a);
        }
    }
}

void referenceLine(Image& img, Vec2 a, Vec2 b, float width, Pixel colour, float opacity,
                   float dash) {
    const float half = width * 0.5f;
    if (opacity <= 0.0f) return;
    const float dx = b.x - a.x, dy = b.y - a.y;
    const float len2 = dx * dx + dy * dy;
    const float len = std::sqrt(len2);
    if (len <= 0.001f) return referenceDisk(img, a, half, colour, opacity);
    const float h = std::max(half, 0.5f);
    for (int32_t y = 0; y < img.height; ++y) {
        for (int32_t x = 0; x < img.width; ++x) {
            const float px = static_cast<float>(x) + 0.5f, py = static_cast<float>(y) + 0.5f;
            float t = ((px - a.x) * dx + (py - a.y) * dy) / len2;
            t = std::min(std::max(t, 0.0f), 1.0f);
            if (dash > 1.0f && std::fmod(len * t, 2.0f * dash) > dash) continue;
            const float ex = px - (a.x + t * dx), ey = py - (a.y + t * dy);
            const float cov = std::min(h + 0.75f - std::sqrt(ex * ex + ey * ey), 1.0f);
            if (cov > 0.0f) img.at(x, y) = blendOver(img.at(x, y), colour, cov * opacity * colour.a);
        }
    }
}

// A deterministic grey ramp, so blends over it are not all alike.
Image ramp(int32_t w, int32_t h) {
    Image img(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            img.at(x, y) = Pixel{x / float(w), y / float(h), 0.3f, (x + y) % 3 == 0 ? 0.0f : 1.0f};
    return img;
}

TEST(DrawDisk, MatchesWholeImageScanIncludingClippedEdges) {
    const Vec2 centres[] = {{20.3f, 17.8f}, {-3.0f, 5.5f}, {58.9f, 44.1f}, {30.0f, -8.0f},
                            {0.5f, 0.5f}};
    const float radii[] = {0.2f, 1.0f, 3.7f, 12.25f, 40.0f};
    for (Vec2 c : centres) {
        for (float r : radii) {
            Image got = ramp(60, 45), want = ramp(60, 45);
            drawDisk(got, c, r, Pixel{0.9f, 0.2f, 0.1f, 0.8f}, 0.7f);
            referenceDisk(want, c, r, Pixel{0.9f, 0.2f, 0.1f, 0.8f}, 0.7f);
            EXPECT_TRUE(samePixels(got, want)) << c.x << "," << c.y << " r=" << r;
        }
    }
}

TEST(DrawDisk, EdgeRampsOverOnePixel) {
    Image img(24, 24, Pixel{0, 0, 0, 1});
    drawDisk(img, {10.0f, 10.0f}, 3.0f, kWhite, 1.0f);
    // Centre (12.5, 9.5) lies 2.55 px out: coverage 3.75 - 2.55 is clipped to 1.
    EXPECT_FLOAT_EQ(img.at(12, 9).r, 1.0f);
    // Centre (13.5, 9.5): d = sqrt(3.5^2 + 0.5^2) = 3.5355, coverage 0.2145.
    EXPECT_NEAR(img.at(13, 9).r, 3.75f - std::sqrt(12.5f), 1e-6f);
    // Centre (13.5, 10.5) is at d = sqrt(12.5) too, by symmetry.
    EXPECT_FLOAT_EQ(img.at(13, 10).r, img.at(13, 9).r);
    // d = 3.5 + ... beyond radius + 0.75: untouched.
    EXPECT_EQ(img.at(14, 10).r, 0.0f);
}

TEST(DrawDisk, NothingForZeroOpacityOrRadiusOrTransparentColour) {
    const Image before = ramp(16, 16);
    Image img = before;
    drawDisk(img, {8, 8}, 4.0f, kWhite, 0.0f);
    drawDisk(img, {8, 8}, 0.0f, kWhite, 1.0f);
    drawDisk(img, {8, 8}, -2.0f, kWhite, 1.0f);
    drawDisk(img, {8, 8}, 4.0f, Pixel{1, 1, 1, 0}, 1.0f);
    EXPECT_TRUE(samePixels(img, before));
    drawDisk(img, {-50, 8}, 4.0f, kWhite, 1.0f);
    drawDisk(img, {8, 500}, 4.0f, kWhite, 1.0f);
    EXPECT_TRUE(samePixels(img, before));
}

TEST(DrawLineCore, MatchesWholeImageScanForManyDirectionsAndDashes) {
    const Vec2 ends[][2] = {{{3.2f, 4.1f}, {55.7f, 38.9f}}, {{50.0f, 2.0f}, {4.0f, 40.0f}},
                            {{10.5f, 20.5f}, {48.5f, 20.5f}}, {{30.2f, -5.0f}, {30.2f, 60.0f}},
                            {{-20.0f, -10.0f}, {90.0f, 70.0f}}, {{12.0f, 12.0f}, {12.0004f, 12.0f}},
                            {{40.0f, 30.0f}, {41.0f, 44.0f}}};
    const float widths[] = {0.2f, 1.5f, 3.0f, 14.0f};
    const float dashes[] = {0.0f, 1.0f, 4.0f, 10.0f};
    for (const auto& e : ends) {
        for (float w : widths) {
            for (float dash : dashes) {
                Image got = ramp(60, 45), want = ramp(60, 45);
                drawLineCore(got, e[0], e[1], w, Pixel{0.1f, 0.8f, 0.4f, 1.0f}, 0.6f, dash);
                referenceLine(want, e[0], e[1], w, Pixel{0.1f, 0.8f, 0.4f, 1.0f}, 0.6f, dash);
                EXPECT_TRUE(samePixels(got, want))
                    << e[0].x << "," << e[0].y << " -> " << e[1].x << "," << e[1].y << " w=" << w
                    << " dash=" << dash;
            }
        }
    }
}

TEST(DrawLineCore, CoverageAcrossAThickAndAHairLine) {
    Image img(30, 20, Pixel{0, 0, 0, 1});
    drawLineCore(img, {2.0f, 10.0f}, {25.0f, 10.0f}, 2.0f, kWhite, 1.0f, 0.0f);
    EXPECT_FLOAT_EQ(img.at(12, 10).r, 1.0f);   // d = 0.5, coverage 1.25 -> 1
    EXPECT_FLOAT_EQ(img.at(12, 11).r, 0.25f);  // d = 1.5: 1 + 0.75 - 1.5
    EXPECT_FLOAT_EQ(img.at(12, 8).r, 0.25f);
    EXPECT_EQ(img.at(12, 12).r, 0.0f);

    Image hair(30, 20, Pixel{0, 0, 0, 1});
    drawLineCore(hair, {2.0f, 10.0f}, {25.0f, 10.0f}, 0.2f, kWhite, 1.0f, 0.0f);
    // Drawn half a pixel thick at least: d = 0.5 gives 0.5 + 0.75 - 0.5.
    EXPECT_FLOAT_EQ(hair.at(12, 10).r, 0.75f);
    EXPECT_FLOAT_EQ(hair.at(12, 9).r, 0.75f);
    EXPECT_FLOAT_EQ(hair.at(12, 11).r, 0.0f);  // d = 1.5 is past 1.25
}

TEST(DrawLineCore, DashesAlternateFromTheFirstEnd) {
    Image img(60, 12, Pixel{0, 0, 0, 1});
    drawLineCore(img, {0.0f, 5.5f}, {45.0f, 5.5f}, 2.0f, kWhite, 1.0f, 10.0f);
    for (int32_t x = 0; x < 45; ++x) {
        const bool inDash = x < 10 || (x >= 20 && x < 30) || x >= 40;
        EXPECT_EQ(img.at(x, 5).r, inDash ? 1.0f : 0.0f) << "x=" << x;
    }
    // Past the end the cap keeps the phase of the end point (45 mod 20 = 5: a dash).
    EXPECT_EQ(img.at(45, 5).r, 1.0f);

    Image solid(60, 12, Pixel{0, 0, 0, 1});
    drawLineCore(solid, {0.0f, 5.5f}, {45.0f, 5.5f}, 2.0f, kWhite, 1.0f, 1.0f);
    for (int32_t x = 0; x < 45; ++x) EXPECT_EQ(solid.at(x, 5).r, 1.0f) << "x=" << x;
}

TEST(DrawLineCore, DegenerateSegmentIsADotOfHalfWidth) {
    Image got(20, 20, Pixel{0, 0, 0, 1}), want(20, 20, Pixel{0, 0, 0, 1});
    drawLineCore(got, {9.0f, 9.0f}, {9.0005f, 9.0f}, 6.0f, kWhite, 0.8f, 0.0f);
    drawDisk(want, {9.0f, 9.0f}, 3.0f, kWhite, 0.8f);
    EXPECT_TRUE(samePixels(got, want));

    const Image before(20, 20, Pixel{0, 0, 0, 1});
    Image zero = before;
    drawLineCore(zero, {9.0f, 9.0f}, {9.0f, 9.0f}, 0.0f, kWhite, 1.0f, 0.0f);
    drawLineCore(zero, {1.0f, 1.0f}, {18.0f, 18.0f}, 4.0f, kWhite, 0.0f, 0.0f);
    drawLineCore(zero, {1.0f, 1.0f}, {18.0f, 18.0f}, 4.0f, Pixel{1, 1, 1, 0}, 1.0f, 0.0f);
    drawLineCore(zero, {-40.0f, -40.0f}, {-20.0f, 60.0f}, 4.0f, kWhite, 1.0f, 0.0f);
    EXPECT_TRUE(samePixels(zero, before));
}

TEST(DrawLine, HalosComeFirstWithScaledWidthAndOpacity) {
    Image got = ramp(40, 30), want = ramp(40, 30);
    const Pixel c{0.3f, 0.6f, 0.9f, 1.0f};
    drawLine(got, {5, 6}, {33, 20}, 1.5f, c, 0.8f, 0.0f, 0.5f);
    drawLineCore(want, {5, 6}, {33, 20}, 1.5f * 8.0f, c, 0.8f * 0.08f, 0.0f);
    drawLineCore(want, {5, 6}, {33, 20}, 1.5f * 4.0f, c, 0.8f * 0.12f, 0.0f);
    drawLineCore(want, {5, 6}, {33, 20}, 1.5f, c, 0.8f, 0.0f);
    EXPECT_TRUE(samePixels(got, want));
    // Same with a dashed, diagonal, partly clipped stroke.
    Image dashed = ramp(40, 30), separate = ramp(40, 30);
    drawLine(dashed, {-6, 25}, {31, -4}, 2.5f, c, 0.9f, 4.0f, 0.3f);
    drawLineCore(separate, {-6, 25}, {31, -4}, 2.5f * 6.4f, c, 0.9f * 0.3f * 0.16f, 4.0f);
    drawLineCore(separate, {-6, 25}, {31, -4}, 2.5f * 3.2f, c, 0.9f * 0.3f * 0.24f, 4.0f);
    drawLineCore(separate, {-6, 25}, {31, -4}, 2.5f, c, 0.9f, 4.0f);
    EXPECT_TRUE(samePixels(dashed, separate));
}

TEST(DrawRect, EdgesInOrderEachWithItsOwnDashPhase) {
    Settings s;
    s.glowAmount = 0.0f;
    s.dashLength = 3.0f;
    Image got = ramp(40, 30), want = ramp(40, 30);
    const Pixel c{1.0f, 0.5f, 0.0f, 1.0f};
    drawRect(got, 4, 5, 30, 22, 2.0f, c, 0.5f, s);
    drawLineCore(want, {4, 5}, {30, 5}, 2.0f, c, 0.5f, 3.0f);
    drawLineCore(want, {30, 5}, {30, 22}, 2.0f, c, 0.5f, 3.0f);
    drawLineCore(want, {30, 22}, {4, 22}, 2.0f, c, 0.5f, 3.0f);
    drawLineCore(want, {4, 22}, {4, 5}, 2.0f, c, 0.5f, 3.0f);
    EXPECT_TRUE(samePixels(got, want));
}

TEST(RasterRobustness, NanInfAndHugeValuesNeverCrashAndStayClipped) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Image before = ramp(32, 24);
    Image img = before;
    drawDisk(img, {nan, 4.0f}, 3.0f, kWhite, 1.0f);
    drawDisk(img, {4.0f, 4.0f}, nan, kWhite, 1.0f);
    drawDisk(img, {1e30f, -1e30f}, 5.0f, kWhite, 1.0f);
    drawLineCore(img, {nan, nan}, {3.0f, 3.0f}, 2.0f, kWhite, 1.0f, 0.0f);
    drawLineCore(img, {2.0f, 2.0f}, {9.0f, 9.0f}, nan, kWhite, 1.0f, 0.0f);
    drawLineCore(img, {-inf, 3.0f}, {inf, 3.0f}, 2.0f, kWhite, 1.0f, 0.0f);
    drawLineCore(img, {1e30f, 1e30f}, {2e30f, 1e30f}, 2.0f, kWhite, 1.0f, 5.0f);
    drawRect(img, nan, 0.0f, 5.0f, inf, 2.0f, kWhite, 1.0f, Settings{});
    EXPECT_TRUE(samePixels(img, before));

    // An endless radius or width covers everything, at the usual cost of a full image.
    Image all(32, 24, Pixel{0, 0, 0, 1});
    drawDisk(all, {5.0f, 5.0f}, inf, kWhite, 1.0f);
    for (const Pixel& p : all.pixels) ASSERT_EQ(p.r, 1.0f);
    Image wide(32, 24, Pixel{0, 0, 0, 1});
    drawLineCore(wide, {5.0f, 5.0f}, {9.0f, 5.0f}, 1e30f, kWhite, 1.0f, 0.0f);
    for (const Pixel& p : wide.pixels) ASSERT_EQ(p.r, 1.0f);

    Image empty;
    drawDisk(empty, {0, 0}, 5.0f, kWhite, 1.0f);
    drawLine(empty, {0, 0}, {5, 5}, 5.0f, kWhite, 1.0f, 2.0f, 1.0f);
    EXPECT_TRUE(empty.pixels.empty());
}

}  // namespace
}  // namespace ormel
