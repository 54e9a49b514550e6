#include "overlay/capsule_chord.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace ormel {
namespace {

// A capsule set up as drawStrokeLayers sets up its strokes.
Capsule capsuleOf(Vec2 a, Vec2 b, float reach, int32_t x0, int32_t x1) {
    const float dx = b.x - a.x, dy = b.y - a.y;
    const float len = std::sqrt(dx * dx + dy * dy);
    return Capsule{a, b, dx / len, dy / len, len, reach, x0, x1};
}

TEST(CapsuleChords, EightRowsAtOnceMatchOneRowAtATime) {
#if !defined(ORMEL_PIXEL_OCTETS)
    GTEST_SKIP() << "no eight-row chords on this processor family";
#else
    if (!simdAtLeast(SimdLevel::avx2)) GTEST_SKIP() << "no AVX2";
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    // Values at and round the edges of the chord rules: the far-coordinate
    // limit, signed zeros, non-finite ends and reaches.
    const float odd[] = {nan, inf, -inf, 16384.0f, 16383.9f, -16384.0f, 0.0f, -0.0f, 1e30f, 0.5f};
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> pos(-40.0f, 260.0f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    auto coordinate = [&] { return unit(rng) < 0.08f ? odd[rng() % 10] : pos(rng); };
    int32_t compared = 0;
    for (int32_t n = 0; n < 4000; ++n) {
        Vec2 a{coordinate(), coordinate()};
        Vec2 b{coordinate(), coordinate()};
        // Axis-aligned and nearly so, as boxes and long lines are.
        if (n % 5 == 1) b.y = a.y;
        if (n % 5 == 2) b.x = a.x;
        if (n % 7 == 3) b.x = a.x + 1e-3f;
        const float reach = unit(rng) < 0.05f ? odd[rng() % 10] : 0.85f + 40.0f * unit(rng);
        const int32_t x0 = static_cast<int32_t>(rng() % 200) - 20;
        const int32_t x1 = x0 + static_cast<int32_t>(rng() % 300);
        const Capsule c = capsuleOf(a, b, reach, x0, x1);
        // Rows about the segment, and now and then rows past the far-coordinate limit.
        const int32_t y = n % 11 == 0 ? 16380 + static_cast<int32_t>(rng() % 8)
                                      : static_cast<int32_t>(pos(rng));
        Span spans[8];
        capsuleChords(c, y, spans);
        for (int32_t i = 0; i < 8; ++i) {
            const Span one = capsuleChord(c, static_cast<float>(y + i) + 0.5f);
            ASSERT_EQ(spans[i].lo, one.lo) << "case " << n << " row " << y + i;
            ASSERT_EQ(spans[i].hi, one.hi) << "case " << n << " row " << y + i;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 32000);
#endif
}

// A chord holds every pixel whose centre lies within the reach less the
// slack, whatever the direction; the row loops rely on it to skip the rest.
TEST(CapsuleChords, HoldEveryPixelWithinReach) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> pos(0.0f, 120.0f);
    for (int32_t n = 0; n < 300; ++n) {
        const Vec2 a{pos(rng), pos(rng)}, b{pos(rng), pos(rng)};
        const float reach = 1.0f + 0.1f * static_cast<float>(n % 100);
        const Capsule c = capsuleOf(a, b, reach, 0, 127);
        const float dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
        for (int32_t y = 0; y < 128; ++y) {
            const float py = static_cast<float>(y) + 0.5f;
            const Span span = capsuleChord(c, py);
            for (int32_t x = 0; x < 128; ++x) {
                const float px = static_cast<float>(x) + 0.5f;
                float t = ((px - a.x) * dx + (py - a.y) * dy) / len2;
                t = std::min(std::max(t, 0.0f), 1.0f);
                const float ex = px - (a.x + t * dx), ey = py - (a.y + t * dy);
                if (std::sqrt(ex * ex + ey * ey) < reach - kSpanSlack) {
                    ASSERT_TRUE(x >= span.lo && x <= span.hi) << "case " << n << " at " << x << "," << y;
                }
            }
        }
    }
}

}  // namespace
}  // namespace ormel
