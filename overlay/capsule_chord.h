// Where a stroke can reach on each of its rows: the chord of the capsule round
// its segment, one row at a time, or with AVX2 eight rows at once with the
// same operations in the same order (std::min and std::max as minps and maxps
// with the operands swapped), so that both give the same spans.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/types.h"
#include "overlay/pixel_octet.h"
#include "overlay/row_chords.h"

namespace ormel {

// The pixels whose centres may lie closer than `reach` to the segment a-b
// (unit direction (ux, uy), length len), within the columns [x0, x1].
struct Capsule {
    Vec2 a, b;
    float ux, uy, len, reach;
    int32_t x0, x1;
};

// Interval of x' where c * x' + k lies in [low, high]; false when empty.
inline bool linearInterval(float c, float k, float low, float high, float& from, float& to) {
    if (c == 0.0f) {
        if (!(k >= low && k <= high)) return false;
        from = -INFINITY;
        to = INFINITY;
        return true;
    }
    const float x1 = (low - k) / c;
    const float x2 = (high - k) / c;
    from = std::min(x1, x2);
    to = std::max(x1, x2);
    return true;
}

// The capsule's pixels on the row at height py. The capsule is convex, so its
// chord is the union of the end-cap chords and the chord of the band along
// the segment. Empty: lo > hi.
inline Span capsuleChord(const Capsule& c, float py) {
    float lo = INFINITY, hi = -INFINITY;
    addDiskChord(c.a.x, c.a.y, c.reach, py, lo, hi, true);
    addDiskChord(c.b.x, c.b.y, c.reach, py, lo, hi, true);
    float f1, t1, f2, t2;
    if (linearInterval(c.ux, (py - c.a.y) * c.uy, 0.0f, c.len, f1, t1) &&
        linearInterval(-c.uy, (py - c.a.y) * c.ux, -c.reach, c.reach, f2, t2)) {
        const float from = std::max(f1, f2);
        const float to = std::min(t1, t2);
        if (from <= to) {
            lo = std::min(lo, c.a.x + from);
            hi = std::max(hi, c.a.x + to);
        }
    }
    Span span{c.x0, c.x1};
    if (!hugSpan(lo, hi, span)) return Span{c.x0 + 1, c.x0};
    return span;
}

#if defined(ORMEL_PIXEL_OCTETS)
namespace chord_lanes {

// std::min(a, b) and std::max(a, b) lane by lane, NaN cases included.
ORMEL_TARGET_AVX2 inline __m256 minOf(__m256 a, __m256 b) { return _mm256_min_ps(b, a); }
ORMEL_TARGET_AVX2 inline __m256 maxOf(__m256 a, __m256 b) { return _mm256_max_ps(b, a); }

// addDiskChord's growth of [lo, hi] for eight rows; the limits are checked by the caller.
ORMEL_TARGET_AVX2 inline void addDiskChords(float cx, float cy, float r, __m256 py, __m256& lo,
                                            __m256& hi) {
    const __m256 dy = _mm256_sub_ps(py, _mm256_set1_ps(cy));
    const __m256 rest = _mm256_sub_ps(_mm256_set1_ps(r * r), _mm256_mul_ps(dy, dy));
    const __m256 reached = _mm256_cmp_ps(rest, _mm256_setzero_ps(), _CMP_GT_OQ);
    const __m256 half = _mm256_sqrt_ps(rest);
    const __m256 x = _mm256_set1_ps(cx);
    lo = _mm256_blendv_ps(lo, minOf(lo, _mm256_sub_ps(x, half)), reached);
    hi = _mm256_blendv_ps(hi, maxOf(hi, _mm256_add_ps(x, half)), reached);
}

// linearInterval for eight values of k; `ok` marks the lanes where it holds.
ORMEL_TARGET_AVX2 inline void linearIntervals(float c, __m256 k, float low, float high,
                                              __m256& from, __m256& to, __m256& ok) {
    if (c == 0.0f) {
        ok = _mm256_and_ps(_mm256_cmp_ps(k, _mm256_set1_ps(low), _CMP_GE_OQ),
                           _mm256_cmp_ps(k, _mm256_set1_ps(high), _CMP_LE_OQ));
        from = _mm256_set1_ps(-INFINITY);
        to = _mm256_set1_ps(INFINITY);
        return;
    }
    const __m256 cv = _mm256_set1_ps(c);
    const __m256 x1 = _mm256_div_ps(_mm256_sub_ps(_mm256_set1_ps(low), k), cv);
    const __m256 x2 = _mm256_div_ps(_mm256_sub_ps(_mm256_set1_ps(high), k), cv);
    from = minOf(x1, x2);
    to = maxOf(x1, x2);
    ok = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
}

}  // namespace chord_lanes

// capsuleChord for the rows y .. y + 7, bit for bit.
ORMEL_TARGET_AVX2 inline void capsuleChords(const Capsule& c, int32_t y, Span* spans) {
    using namespace chord_lanes;
    const float limit = kTightChordLimit;
    const bool far = std::fabs(c.a.x) >= limit || std::fabs(c.a.y) >= limit ||
                     std::fabs(c.b.x) >= limit || std::fabs(c.b.y) >= limit || c.reach >= limit;
    if (far) {
        for (int32_t i = 0; i < 8; ++i) spans[i] = Span{c.x0, c.x1};
        return;
    }
    const __m256 py = _mm256_add_ps(
        _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(y), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7))),
        _mm256_set1_ps(0.5f));
    __m256 lo = _mm256_set1_ps(INFINITY);
    __m256 hi = _mm256_set1_ps(-INFINITY);
    addDiskChords(c.a.x, c.a.y, c.reach, py, lo, hi);
    addDiskChords(c.b.x, c.b.y, c.reach, py, lo, hi);
    const __m256 rel = _mm256_sub_ps(py, _mm256_set1_ps(c.a.y));
    __m256 f1, t1, ok1, f2, t2, ok2;
    linearIntervals(c.ux, _mm256_mul_ps(rel, _mm256_set1_ps(c.uy)), 0.0f, c.len, f1, t1, ok1);
    linearIntervals(-c.uy, _mm256_mul_ps(rel, _mm256_set1_ps(c.ux)), -c.reach, c.reach, f2, t2, ok2);
    const __m256 from = maxOf(f1, f2);
    const __m256 to = minOf(t1, t2);
    const __m256 band = _mm256_and_ps(_mm256_and_ps(ok1, ok2), _mm256_cmp_ps(from, to, _CMP_LE_OQ));
    const __m256 ax = _mm256_set1_ps(c.a.x);
    lo = _mm256_blendv_ps(lo, minOf(lo, _mm256_add_ps(ax, from)), band);
    hi = _mm256_blendv_ps(hi, maxOf(hi, _mm256_add_ps(ax, to)), band);
    // Rows this far down take whole rows, as the per-row form does.
    const __m256 magnitude = _mm256_andnot_ps(_mm256_set1_ps(-0.0f), py);
    const __m256 whole = _mm256_cmp_ps(magnitude, _mm256_set1_ps(limit), _CMP_GE_OQ);
    lo = _mm256_blendv_ps(lo, _mm256_set1_ps(-INFINITY), whole);
    hi = _mm256_blendv_ps(hi, _mm256_set1_ps(INFINITY), whole);
    float los[8], his[8];
    _mm256_storeu_ps(los, lo);
    _mm256_storeu_ps(his, hi);
    for (int32_t i = 0; i < 8; ++i) {
        Span span{c.x0, c.x1};
        spans[i] = hugSpan(los[i], his[i], span) ? span : Span{c.x0 + 1, c.x0};
    }
}
#endif

}  // namespace ormel
