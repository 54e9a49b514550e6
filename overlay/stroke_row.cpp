#include "overlay/stroke_row.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/simd_level.h"
#include "overlay/capsule_chord.h"
#include "overlay/coverage_run.h"
#include "overlay/pixel_octet.h"

namespace ormel {
namespace {

// A pixel in a gap of the dashes is pushed infinitely far, so no layer covers it.
inline void pushGapsAway(const StrokeRow& s, const float* t, float* d, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        if (std::fmod(s.len * t[i], s.period) > s.dash) d[i] = INFINITY;
    }
}

// The same for the lanes of a vector of distances d and their projections t.
template <class Lanes>
__attribute__((always_inline)) inline void pushGapsAway(const StrokeRow& s, const Lanes& t, Lanes& d) {
    constexpr int32_t kLanes = static_cast<int32_t>(sizeof(Lanes) / sizeof(float));
    float tLanes[kLanes];
    float dLanes[kLanes];
    std::memcpy(tLanes, &t, sizeof(t));
    std::memcpy(dLanes, &d, sizeof(d));
    pushGapsAway(s, tLanes, dLanes, kLanes);
    std::memcpy(&d, dLanes, sizeof(d));
}

// The plain version: geometry first in short branch-free runs the compiler
// can vectorise (the division and the square root dominate), then the blends
// layer by layer.
void strokeRowRuns(Pixel* row, float py, RowSpan span, const StrokeRow& s, Pixel colour) {
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
        if (s.dashed) pushGapsAway(s, tRun, dRun, count);
        // Layer by layer: each pixel still sees its layers in order.
        for (int32_t k = 0; k < s.layers; ++k) {
            blendCoverageRun(row + start, dRun, count, s.half[k] + 0.75f, s.opacity[k], colour);
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
        if (s.dashed) pushGapsAway(s, t, d);
        QuadSlot slot(row, static_cast<int32_t>(x), count);
        PixelQuad q = slot.load();
        const __m128 all = _mm_castsi128_ps(_mm_set1_epi32(-1));
        for (int32_t k = 0; k < s.layers; ++k) {
            blendQuadCoverage(q, d, all, s.half[k] + 0.75f, s.opacity[k], colour);
        }
        slot.store(q);
    }
}

#endif

#if defined(ORMEL_PIXEL_OCTETS)
// How the distance of a pixel to the segment is found. A solid horizontal
// segment reads its projection from per-column values and a solid vertical
// one computes it once per row: in both, every pixel of a row or column gets
// the projection the general formula would give it (the term the other axis
// adds is a zero, whose sign cannot reach the distance), with no division per
// pixel.
enum class StrokeShape { General, Horizontal, Vertical };

// The row's constants, broadcast.
struct OctetStroke {
    __m256 ax, ay, dx, dy, len2, py, ryDy;
    __m256 axt, ey2;  // vertical: a.x + t * dx and the squared y distance
};

ORMEL_TARGET_AVX2 inline OctetStroke octetStroke(float py, RowSpan span, const StrokeRow& s,
                                                 StrokeShape shape) {
    const float ryDy = (py - s.a.y) * s.dy;
    OctetStroke g{_mm256_set1_ps(s.a.x), _mm256_set1_ps(s.a.y), _mm256_set1_ps(s.dx),
                  _mm256_set1_ps(s.dy),  _mm256_set1_ps(s.len2), _mm256_set1_ps(py),
                  _mm256_set1_ps(ryDy),  _mm256_setzero_ps(),    _mm256_setzero_ps()};
    if (shape == StrokeShape::Vertical) {
        // maxps and minps with the constant first, as in the per-pixel form.
        const float px = static_cast<float>(span.lo) + 0.5f;
        float t = ((px - s.a.x) * s.dx + ryDy) / s.len2;
        t = 0.0f > t ? 0.0f : t;
        t = 1.0f < t ? 1.0f : t;
        const float ey = py - (s.a.y + t * s.dy);
        g.axt = _mm256_set1_ps(s.a.x + t * s.dx);
        g.ey2 = _mm256_set1_ps(ey * ey);
    }
    return g;
}

// Distances of the pixels x .. x + 7 (lane order of the octet) to the
// segment; a pixel in a gap of the dashes is pushed infinitely far.
template <StrokeShape kShape>
ORMEL_TARGET_AVX2 inline __m256 octetDistance(const OctetStroke& g, int32_t x, const StrokeRow& s) {
    const __m256 px = _mm256_add_ps(_mm256_cvtepi32_ps(octetColumns(x)), _mm256_set1_ps(0.5f));
    if (kShape == StrokeShape::Vertical) {
        const __m256 ex = _mm256_sub_ps(px, g.axt);
        return _mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(ex, ex), g.ey2));
    }
    if (kShape == StrokeShape::Horizontal) {
        const size_t at = static_cast<size_t>(x - s.columnFirst);
        const __m256 ey = _mm256_sub_ps(g.py, loadOctetOrder(s.columnAy + at));
        return _mm256_sqrt_ps(_mm256_add_ps(loadOctetOrder(s.columnEx2 + at), _mm256_mul_ps(ey, ey)));
    }
    const __m256 zero = _mm256_setzero_ps();
    const __m256 one = _mm256_set1_ps(1.0f);
    __m256 t = _mm256_div_ps(_mm256_add_ps(_mm256_mul_ps(_mm256_sub_ps(px, g.ax), g.dx), g.ryDy), g.len2);
    t = _mm256_min_ps(one, _mm256_max_ps(zero, t));
    const __m256 ex = _mm256_sub_ps(px, _mm256_add_ps(g.ax, _mm256_mul_ps(t, g.dx)));
    const __m256 ey = _mm256_sub_ps(g.py, _mm256_add_ps(g.ay, _mm256_mul_ps(t, g.dy)));
    __m256 d = _mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(ex, ex), _mm256_mul_ps(ey, ey)));
    if (s.dashed) pushGapsAway(s, t, d);
    return d;
}

StrokeShape shapeOf(const StrokeRow& s) {
    if (s.columnEx2 != nullptr) return StrokeShape::Horizontal;
    if (!s.dashed && s.dx == 0.0f) return StrokeShape::Vertical;
    return StrokeShape::General;
}

// The octets of a row's span, x .. x + count - 1 each (count 1 to 8), handed
// to drawOctet(x, count, d) with their pixels' distances d.
template <StrokeShape kShape, class DrawOctet>
ORMEL_TARGET_AVX2 __attribute__((always_inline)) inline void forEachStrokeOctet(float py, RowSpan span,
                                                                                const StrokeRow& s,
                                                                                DrawOctet drawOctet) {
    const OctetStroke g = octetStroke(py, span, s, kShape);
    for (int64_t x = span.lo; x <= span.hi; x += 8) {
        const int32_t count = static_cast<int32_t>(std::min<int64_t>(8, span.hi - x + 1));
        drawOctet(static_cast<int32_t>(x), count, octetDistance<kShape>(g, static_cast<int32_t>(x), s));
    }
}

// The row eight pixels at a time with AVX2. Every layer of the row is
// blended wherever its coverage is positive; the span already holds all of
// them.
template <StrokeShape kShape>
ORMEL_TARGET_AVX2 void strokeRowOctets(Pixel* row, float py, RowSpan span, const StrokeRow& s,
                                       const OctetColour& colour) {
    const __m256 all = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
    forEachStrokeOctet<kShape>(py, span, s, [&](int32_t x, int32_t count, __m256 d) ORMEL_TARGET_AVX2 {
        OctetSlot slot(row, x, count);
        PixelOctet o = slot.load();
        for (int32_t k = 0; k < s.layers; ++k) {
            blendOctetCoverage(o, d, all, s.half[k] + 0.75f, s.opacity[k], colour);
        }
        slot.store(o);
    });
}

// The layers of a stroke as the masked blends take them, set up once.
struct OctetLayers {
    OctetLayer layer[3];
    int32_t count;
    bool plain;  // an opaque colour and every layer unclamped
};

ORMEL_TARGET_AVX2 OctetLayers octetLayers(const StrokeRow& s, const OctetColour& colour) {
    OctetLayers layers{};
    layers.count = s.layers;
    layers.plain = colour.opaque;
    for (int32_t k = 0; k < s.layers; ++k) {
        layers.layer[k] = octetLayer(s.half[k] + 0.75f, s.opacity[k], colour);
        layers.plain = layers.plain && layers.layer[k].unclamped;
    }
    return layers;
}

// The same with AVX-512VL's masked blends.
template <StrokeShape kShape, bool kPlain>
ORMEL_TARGET_AVX512 void strokeRowOctetsMasked(Pixel* row, float py, RowSpan span,
                                               const StrokeRow& s, const OctetLayers& layers,
                                               const OctetColour& colour) {
    forEachStrokeOctet<kShape>(py, span, s, [&](int32_t x, int32_t count, __m256 d) ORMEL_TARGET_AVX512 {
        OctetSlotMasked slot(row, x, count);
        PixelOctet o = slot.load();
        for (int32_t k = 0; k < layers.count; ++k) {
            blendOctetLayerMasked<kPlain>(o, d, 0xFF, layers.layer[k], colour);
        }
        slot.store(o);
    });
}

// Every row of a stroke: the chords eight rows at a time, then each row that
// the stroke reaches, drawn by drawRow(row, py, span).
template <class DrawRow>
ORMEL_TARGET_AVX2 __attribute__((always_inline)) inline void forEachStrokeRow(Image& image, int32_t y0, int32_t y1, const Capsule& reach,
                                               DrawRow drawRow) {
    for (int32_t y = y0; y <= y1; y += 8) {
        Span spans[8];
        capsuleChords(reach, y, spans);
        const int32_t rows = std::min(8, y1 - y + 1);
        for (int32_t i = 0; i < rows; ++i) {
            if (spans[i].lo > spans[i].hi) continue;
            prefetchRowAhead(image, y + i, spans[i].lo, spans[i].hi);
            drawRow(&image.at(0, y + i), static_cast<float>(y + i) + 0.5f, spans[i]);
        }
    }
}

template <StrokeShape kShape>
ORMEL_TARGET_AVX2 void strokeRowsOctets(Image& image, int32_t y0, int32_t y1, const Capsule& reach,
                                        const StrokeRow& s, const OctetColour& colour) {
    forEachStrokeRow(image, y0, y1, reach, [&](Pixel* row, float py, Span span) ORMEL_TARGET_AVX2 {
        strokeRowOctets<kShape>(row, py, span, s, colour);
    });
}

template <StrokeShape kShape, bool kPlain>
ORMEL_TARGET_AVX512 void strokeRowsOctetsMasked(Image& image, int32_t y0, int32_t y1,
                                                const Capsule& reach, const StrokeRow& s,
                                                const OctetLayers& layers,
                                                const OctetColour& colour) {
    forEachStrokeRow(image, y0, y1, reach, [&](Pixel* row, float py, Span span) ORMEL_TARGET_AVX512 {
        strokeRowOctetsMasked<kShape, kPlain>(row, py, span, s, layers, colour);
    });
}
#endif

}  // namespace

void fillStrokeColumns(const StrokeRow& s, int32_t first, int32_t count, float* ex2, float* ay) {
    for (int32_t i = 0; i < count; ++i) {
        // The per-pixel projection with the row's term, a zero, left out.
        const float px = static_cast<float>(first + i) + 0.5f;
        float t = ((px - s.a.x) * s.dx + 0.0f) / s.len2;
        t = 0.0f > t ? 0.0f : t;
        t = 1.0f < t ? 1.0f : t;
        const float ex = px - (s.a.x + t * s.dx);
        ex2[i] = ex * ex;
        ay[i] = s.a.y + t * s.dy;
    }
    for (int32_t i = count; i < count + 8; ++i) {
        ex2[i] = 0.0f;
        ay[i] = 0.0f;
    }
}

void blendStrokeRows(Image& image, int32_t y0, int32_t y1, const Capsule& reach, const StrokeRow& s,
                     Pixel colour) {
#if defined(ORMEL_PIXEL_OCTETS)
    if (simdAtLeast(SimdLevel::avx2)) {
        const OctetColour c = octetColour(colour);
        const StrokeShape shape = shapeOf(s);
        if (simdAtLeast(SimdLevel::avx512)) {
            const OctetLayers layers = octetLayers(s, c);
            if (layers.plain) {
                switch (shape) {
                    case StrokeShape::Horizontal: return strokeRowsOctetsMasked<StrokeShape::Horizontal, true>(image, y0, y1, reach, s, layers, c);
                    case StrokeShape::Vertical: return strokeRowsOctetsMasked<StrokeShape::Vertical, true>(image, y0, y1, reach, s, layers, c);
                    default: return strokeRowsOctetsMasked<StrokeShape::General, true>(image, y0, y1, reach, s, layers, c);
                }
            }
            switch (shape) {
                case StrokeShape::Horizontal: return strokeRowsOctetsMasked<StrokeShape::Horizontal, false>(image, y0, y1, reach, s, layers, c);
                case StrokeShape::Vertical: return strokeRowsOctetsMasked<StrokeShape::Vertical, false>(image, y0, y1, reach, s, layers, c);
                default: return strokeRowsOctetsMasked<StrokeShape::General, false>(image, y0, y1, reach, s, layers, c);
            }
        }
        switch (shape) {
            case StrokeShape::Horizontal: return strokeRowsOctets<StrokeShape::Horizontal>(image, y0, y1, reach, s, c);
            case StrokeShape::Vertical: return strokeRowsOctets<StrokeShape::Vertical>(image, y0, y1, reach, s, c);
            default: return strokeRowsOctets<StrokeShape::General>(image, y0, y1, reach, s, c);
        }
    }
#endif
#if defined(__SSE2__)
    const bool quads = simdAtLeast(SimdLevel::sse2);
    const QuadColour quad = quadColour(colour);
#endif
    for (int32_t y = y0; y <= y1; ++y) {
        const float py = static_cast<float>(y) + 0.5f;
        const Span span = capsuleChord(reach, py);
        if (span.lo > span.hi) continue;
        Pixel* row = &image.at(0, y);
        prefetchRowAhead(image, y, span.lo, span.hi);
#if defined(__SSE2__)
        if (quads) {
            strokeRowQuads(row, py, span, s, quad);
            continue;
        }
#endif
        strokeRowRuns(row, py, span, s, colour);
    }
}

}  // namespace ormel
