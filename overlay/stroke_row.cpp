#include "overlay/stroke_row.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

#include "overlay/coverage_run.h"

namespace ormel {
namespace {

// The plain version: geometry first in short branch-free runs the compiler
// can vectorise (the division and the square root dominate), then the blends
// layer by layer.
[[maybe_unused]] void strokeRowRuns(Pixel* row, float py, RowSpan span, const StrokeRow& s,
                                    Pixel colour) {
    const float ryDy = (py - s.a.y) * s.dy;
    float tRun[kCoverageRun];
    float dRun[kCoverageRun];
    for (int32_t start = span.lo; start <= span.hi; start += kCoverageRun) {
        const int32_t count = std::min(kCoverageRun, span.hi - start + 1);
        for (int32_t i = 0; i < count; ++i) {
            const float px = static_cast<float>(start + i) + 0.5f;
            float t = ((px - s.a.x) * s.dx + ryDy) / s.len2;
            t = std::min(std::max(t, 0.0f), 1.0f);
            const float ex = px - (s.a.x + t * s.dx);
            const float ey = py - (s.a.y + t * s.dy);
            tRun[i] = t;
            dRun[i] = std::sqrt(ex * ex + ey * ey);
        }
        if (s.dashed) {
            // A pixel in a gap is pushed infinitely far, so no layer covers it.
            for (int32_t i = 0; i < count; ++i) {
                if (std::fmod(s.len * tRun[i], s.period) > s.dash) dRun[i] = INFINITY;
            }
        }
        // Layer by layer: each pixel still sees its layers in order.
        for (int32_t k = 0; k < s.layers; ++k) {
            const int32_t from = std::max(start, s.spans[k].lo);
            const int32_t to = std::min(start + count - 1, s.spans[k].hi);
            if (from > to) continue;
            blendCoverageRun(row + from, dRun + (from - start), to - from + 1, s.half[k] + 0.75f,
                             s.opacity[k], colour);
        }
    }
}

#if defined(__SSE2__)
// One row of drawStrokeLayers four pixels at a time: the projection, the
// distance and each layer's blend lane by lane, with the scalar operations in
// the scalar order (std::max(t, 0) and std::min(t, 1) are maxps and minps with
// the constant first), so the bits are those of the scalar loop.
void strokeRowQuads(Pixel* row, float py, RowSpan span, const StrokeRow& s,
                    const QuadColour& colour) {
    const __m128 zero = _mm_setzero_ps();
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 ax = _mm_set1_ps(s.a.x);
    const __m128 ay = _mm_set1_ps(s.a.y);
    const __m128 dx = _mm_set1_ps(s.dx);
    const __m128 dy = _mm_set1_ps(s.dy);
    const __m128 len2 = _mm_set1_ps(s.len2);
    const __m128 pyv = _mm_set1_ps(py);
    const __m128 ryDy = _mm_set1_ps((py - s.a.y) * s.dy);
    const __m128i steps = _mm_set_epi32(3, 2, 1, 0);
    for (int64_t x = span.lo; x <= span.hi; x += 4) {
        const int32_t count = static_cast<int32_t>(std::min<int64_t>(4, span.hi - x + 1));
        const __m128i xi = _mm_add_epi32(_mm_set1_epi32(static_cast<int32_t>(x)), steps);
        const __m128 px = _mm_add_ps(_mm_cvtepi32_ps(xi), _mm_set1_ps(0.5f));
        __m128 t = _mm_div_ps(_mm_add_ps(_mm_mul_ps(_mm_sub_ps(px, ax), dx), ryDy), len2);
        t = _mm_min_ps(one, _mm_max_ps(zero, t));
        const __m128 ex = _mm_sub_ps(px, _mm_add_ps(ax, _mm_mul_ps(t, dx)));
        const __m128 ey = _mm_sub_ps(pyv, _mm_add_ps(ay, _mm_mul_ps(t, dy)));
        __m128 d = _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(ex, ex), _mm_mul_ps(ey, ey)));
        if (s.dashed) {
            // A pixel in a gap is pushed infinitely far, so no layer covers it.
            float tLanes[4];
            float dLanes[4];
            _mm_storeu_ps(tLanes, t);
            _mm_storeu_ps(dLanes, d);
            for (int32_t i = 0; i < 4; ++i) {
                if (std::fmod(s.len * tLanes[i], s.period) > s.dash) dLanes[i] = INFINITY;
            }
            d = _mm_loadu_ps(dLanes);
        }
        QuadSlot slot(row, static_cast<int32_t>(x), count);
        PixelQuad q = slot.load();
        for (int32_t k = 0; k < s.layers; ++k) {
            const RowSpan own = s.spans[k];
            if (x + 3 < own.lo || x > own.hi) continue;
            const __m128i inside = _mm_and_si128(_mm_cmpgt_epi32(xi, _mm_set1_epi32(own.lo - 1)),
                                                 _mm_cmplt_epi32(xi, _mm_set1_epi32(own.hi + 1)));
            blendQuadCoverage(q, d, _mm_castsi128_ps(inside), s.half[k] + 0.75f, s.opacity[k],
                              colour);
        }
        slot.store(q);
    }
}

#if defined(__GNUC__) && defined(__x86_64__)
#define ORMEL_STROKE_AVX2 1
// The same row eight pixels at a time, for processors with AVX2. Loading
// pixel pairs and transposing within each 128-bit half leaves the channel
// planes in the lane order 0 2 4 6 1 3 5 7; the column numbers are laid out
// the same way, and the transpose back restores the order. Only plain IEEE
// single-precision operations are involved (no fused multiply-add), so the
// bits are those of the four-pixel version.
struct PixelOctet {
    __m256 r, g, b, a;
};

__attribute__((target("avx2"))) inline void transposeOctet(__m256& p, __m256& q, __m256& u,
                                                           __m256& v) {
    const __m256 t0 = _mm256_unpacklo_ps(p, q);
    const __m256 t1 = _mm256_unpackhi_ps(p, q);
    const __m256 t2 = _mm256_unpacklo_ps(u, v);
    const __m256 t3 = _mm256_unpackhi_ps(u, v);
    p = _mm256_shuffle_ps(t0, t2, 0x44);
    q = _mm256_shuffle_ps(t0, t2, 0xEE);
    u = _mm256_shuffle_ps(t1, t3, 0x44);
    v = _mm256_shuffle_ps(t1, t3, 0xEE);
}

__attribute__((target("avx2"))) inline PixelOctet loadOctet(const Pixel* p) {
    const float* f = reinterpret_cast<const float*>(p);
    PixelOctet o{_mm256_loadu_ps(f), _mm256_loadu_ps(f + 8), _mm256_loadu_ps(f + 16),
                 _mm256_loadu_ps(f + 24)};
    transposeOctet(o.r, o.g, o.b, o.a);
    return o;
}

__attribute__((target("avx2"))) inline void storeOctet(Pixel* p, PixelOctet o) {
    transposeOctet(o.r, o.g, o.b, o.a);
    float* f = reinterpret_cast<float*>(p);
    _mm256_storeu_ps(f, o.r);
    _mm256_storeu_ps(f + 8, o.g);
    _mm256_storeu_ps(f + 16, o.b);
    _mm256_storeu_ps(f + 24, o.a);
}

// blendQuadCoverage on eight lanes.
__attribute__((target("avx2"))) inline void blendOctetCoverage(PixelOctet& o, __m256 d,
                                                               __m256 allowed, float edge,
                                                               float opacity, Pixel colour) {
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 zero = _mm256_setzero_ps();
    const __m256 coverage = _mm256_min_ps(one, _mm256_sub_ps(_mm256_set1_ps(edge), d));
    const __m256 take = _mm256_and_ps(allowed, _mm256_cmp_ps(coverage, zero, _CMP_GT_OQ));
    if (_mm256_movemask_ps(take) == 0) return;
    const __m256 raw =
        _mm256_mul_ps(_mm256_mul_ps(coverage, _mm256_set1_ps(opacity)), _mm256_set1_ps(colour.a));
    const __m256 amount = _mm256_max_ps(_mm256_min_ps(raw, one), zero);
    const __m256 keep = _mm256_sub_ps(one, amount);
    const __m256 r = _mm256_add_ps(_mm256_mul_ps(o.r, keep), _mm256_mul_ps(_mm256_set1_ps(colour.r), amount));
    const __m256 g = _mm256_add_ps(_mm256_mul_ps(o.g, keep), _mm256_mul_ps(_mm256_set1_ps(colour.g), amount));
    const __m256 b = _mm256_add_ps(_mm256_mul_ps(o.b, keep), _mm256_mul_ps(_mm256_set1_ps(colour.b), amount));
    const __m256 alpha = _mm256_add_ps(_mm256_mul_ps(o.a, keep), amount);
    o.r = _mm256_blendv_ps(o.r, r, take);
    o.g = _mm256_blendv_ps(o.g, g, take);
    o.b = _mm256_blendv_ps(o.b, b, take);
    o.a = _mm256_blendv_ps(o.a, _mm256_max_ps(_mm256_min_ps(alpha, one), zero), take);
}

__attribute__((target("avx2"))) void strokeRowOctets(Pixel* row, float py, RowSpan span,
                                                     const StrokeRow& s, Pixel colour) {
    const __m256 zero = _mm256_setzero_ps();
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 ax = _mm256_set1_ps(s.a.x);
    const __m256 ay = _mm256_set1_ps(s.a.y);
    const __m256 dx = _mm256_set1_ps(s.dx);
    const __m256 dy = _mm256_set1_ps(s.dy);
    const __m256 len2 = _mm256_set1_ps(s.len2);
    const __m256 pyv = _mm256_set1_ps(py);
    const __m256 ryDy = _mm256_set1_ps((py - s.a.y) * s.dy);
    const __m256i steps = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
    for (int64_t x = span.lo; x <= span.hi; x += 8) {
        const int32_t count = static_cast<int32_t>(std::min<int64_t>(8, span.hi - x + 1));
        const __m256i xi = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(x)), steps);
        const __m256 px = _mm256_add_ps(_mm256_cvtepi32_ps(xi), _mm256_set1_ps(0.5f));
        __m256 t = _mm256_div_ps(_mm256_add_ps(_mm256_mul_ps(_mm256_sub_ps(px, ax), dx), ryDy), len2);
        t = _mm256_min_ps(one, _mm256_max_ps(zero, t));
        const __m256 ex = _mm256_sub_ps(px, _mm256_add_ps(ax, _mm256_mul_ps(t, dx)));
        const __m256 ey = _mm256_sub_ps(pyv, _mm256_add_ps(ay, _mm256_mul_ps(t, dy)));
        __m256 d = _mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(ex, ex), _mm256_mul_ps(ey, ey)));
        if (s.dashed) {
            float tLanes[8];
            float dLanes[8];
            _mm256_storeu_ps(tLanes, t);
            _mm256_storeu_ps(dLanes, d);
            for (int32_t i = 0; i < 8; ++i) {
                if (std::fmod(s.len * tLanes[i], s.period) > s.dash) dLanes[i] = INFINITY;
            }
            d = _mm256_loadu_ps(dLanes);
        }
        Pixel* target = row + x;
        Pixel spare[8] = {};
        if (count < 8) {
            std::memcpy(static_cast<void*>(spare), target, sizeof(Pixel) * static_cast<size_t>(count));
            target = spare;
        }
        PixelOctet o = loadOctet(target);
        for (int32_t k = 0; k < s.layers; ++k) {
            const RowSpan own = s.spans[k];
            if (x + 7 < own.lo || x > own.hi) continue;
            const __m256i inside =
                _mm256_and_si256(_mm256_cmpgt_epi32(xi, _mm256_set1_epi32(own.lo - 1)),
                                 _mm256_cmpgt_epi32(_mm256_set1_epi32(own.hi + 1), xi));
            blendOctetCoverage(o, d, _mm256_castsi256_ps(inside), s.half[k] + 0.75f, s.opacity[k],
                               colour);
        }
        storeOctet(target, o);
        if (count < 8) {
            std::memcpy(static_cast<void*>(row + x), spare, sizeof(Pixel) * static_cast<size_t>(count));
        }
    }
}

bool haveAvx2() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}
#endif
#endif


}  // namespace

void blendStrokeRow(Pixel* row, float py, RowSpan span, const StrokeRow& s, Pixel colour) {
#if defined(ORMEL_STROKE_AVX2)
    if (haveAvx2()) {
        strokeRowOctets(row, py, span, s, colour);
        return;
    }
#endif
#if defined(__SSE2__)
    strokeRowQuads(row, py, span, s, quadColour(colour));
#else
    strokeRowRuns(row, py, span, s, colour);
#endif
}

}  // namespace ormel
