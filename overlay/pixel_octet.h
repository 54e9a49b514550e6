// Eight neighbouring pixels held as channel planes for processors with AVX2,
// and their coverage blend; with AVX-512VL the blend's selects become masked
// operations. Every operation is the scalar one of blendInPlace applied lane
// by lane, in the same order and without fused multiply-add, so the bits are
// those of the scalar and four-pixel versions.
//
// Loading pixel pairs and transposing within each 128-bit half leaves the
// channel planes in the lane order 0 2 4 6 1 3 5 7; callers lay out their
// per-pixel values (column numbers, distances) the same way, and the
// transpose back restores the order.
#pragma once

#if defined(__GNUC__) && defined(__x86_64__)
#define ORMEL_PIXEL_OCTETS 1

#include <immintrin.h>

#include <cstddef>
#include <cstring>

#include "engine/simd_asm.h"
#include "engine/simd_level.h"
#include "engine/types.h"

namespace ormel {

#define ORMEL_TARGET_AVX2 __attribute__((target("avx2")))
#define ORMEL_TARGET_AVX512 __attribute__((target("avx2,avx512f,avx512vl")))

struct PixelOctet {
    __m256 r, g, b, a;
};

// The blend colour broadcast once per mark; alpha 1 lets the blend skip a
// multiplication by it (x * 1 is x, NaN payloads included).
struct OctetColour {
    __m256 r, g, b, alpha;
    bool opaque;
    bool unitAlpha;  // alpha in (0, 1]: a -0 alpha would give a -0 amount
};

ORMEL_TARGET_AVX2 inline OctetColour octetColour(Pixel colour) {
    return {_mm256_set1_ps(colour.r), _mm256_set1_ps(colour.g), _mm256_set1_ps(colour.b),
            _mm256_set1_ps(colour.a), colour.a == 1.0f, colour.a > 0.0f && colour.a <= 1.0f};
}

// Column numbers x .. x + 7 in the octet's lane order.
ORMEL_TARGET_AVX2 inline __m256i octetColumns(int32_t x) {
    return _mm256_add_epi32(_mm256_set1_epi32(x), _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
}

// Eight consecutive floats reordered into the octet's lane order.
ORMEL_TARGET_AVX2 inline __m256 loadOctetOrder(const float* p) {
    return _mm256_permutevar8x32_ps(_mm256_loadu_ps(p), _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
}

ORMEL_TARGET_AVX2 inline void transposeOctet(__m256& p, __m256& q, __m256& u, __m256& v) {
    const __m256 t0 = _mm256_unpacklo_ps(p, q);
    const __m256 t1 = _mm256_unpackhi_ps(p, q);
    const __m256 t2 = _mm256_unpacklo_ps(u, v);
    const __m256 t3 = _mm256_unpackhi_ps(u, v);
    p = _mm256_shuffle_ps(t0, t2, 0x44);
    q = _mm256_shuffle_ps(t0, t2, 0xEE);
    u = _mm256_shuffle_ps(t1, t3, 0x44);
    v = _mm256_shuffle_ps(t1, t3, 0xEE);
}

ORMEL_TARGET_AVX2 inline PixelOctet loadOctet(const Pixel* p) {
    const float* f = reinterpret_cast<const float*>(p);
    PixelOctet o{_mm256_loadu_ps(f), _mm256_loadu_ps(f + 8), _mm256_loadu_ps(f + 16),
                 _mm256_loadu_ps(f + 24)};
    transposeOctet(o.r, o.g, o.b, o.a);
    return o;
}

ORMEL_TARGET_AVX2 inline void storeOctet(Pixel* p, PixelOctet o) {
    transposeOctet(o.r, o.g, o.b, o.a);
    float* f = reinterpret_cast<float*>(p);
    _mm256_storeu_ps(f, o.r);
    _mm256_storeu_ps(f + 8, o.g);
    _mm256_storeu_ps(f + 16, o.b);
    _mm256_storeu_ps(f + 24, o.a);
}

// Pixels [x, x + count) of a row as an octet, count 1 to 8: a short octet is
// copied through a zeroed buffer so nothing past the row is read or written.
struct OctetSlot {
    Pixel* target;
    int32_t count;
    Pixel spare[8];

    OctetSlot(Pixel* row, int32_t x, int32_t n) : target(row + x), count(n), spare{} {}
    ORMEL_TARGET_AVX2 PixelOctet load() {
        if (count == 8) return loadOctet(target);
        std::memcpy(static_cast<void*>(spare), target, sizeof(Pixel) * static_cast<size_t>(count));
        return loadOctet(spare);
    }
    ORMEL_TARGET_AVX2 void store(PixelOctet o) {
        if (count == 8) {
            storeOctet(target, o);
            return;
        }
        storeOctet(spare, o);
        std::memcpy(static_cast<void*>(target), spare, sizeof(Pixel) * static_cast<size_t>(count));
    }
};

// The same with AVX-512 masked loads and stores, which touch nothing past
// the count (masked-off lanes read as zero and are never written).
struct OctetSlotMasked {
    Pixel* target;
    int32_t count;

    OctetSlotMasked(Pixel* row, int32_t x, int32_t n) : target(row + x), count(n) {}
    // Lanes of the j-th group of eight floats (pixels 2j and 2j + 1) that lie
    // inside the count.
    __mmask8 floatsOf(int32_t j) const {
        const int32_t valid = 4 * count - 8 * j;
        if (valid >= 8) return 0xFF;
        return valid <= 0 ? 0 : static_cast<__mmask8>((1u << valid) - 1u);
    }
    ORMEL_TARGET_AVX512 PixelOctet load() const {
        if (count == 8) return loadOctet(target);
        const float* f = reinterpret_cast<const float*>(target);
        PixelOctet o{_mm256_maskz_loadu_ps(floatsOf(0), f), _mm256_maskz_loadu_ps(floatsOf(1), f + 8),
                     _mm256_maskz_loadu_ps(floatsOf(2), f + 16),
                     _mm256_maskz_loadu_ps(floatsOf(3), f + 24)};
        transposeOctet(o.r, o.g, o.b, o.a);
        return o;
    }
    ORMEL_TARGET_AVX512 void store(PixelOctet o) const {
        if (count == 8) {
            storeOctet(target, o);
            return;
        }
        transposeOctet(o.r, o.g, o.b, o.a);
        float* f = reinterpret_cast<float*>(target);
        _mm256_mask_storeu_ps(f, floatsOf(0), o.r);
        _mm256_mask_storeu_ps(f + 8, floatsOf(1), o.g);
        _mm256_mask_storeu_ps(f + 16, floatsOf(2), o.b);
        _mm256_mask_storeu_ps(f + 24, floatsOf(3), o.a);
    }
};

// For eight distances d: coverage = min(edge - d, 1); where it is above 0 (and
// `allowed` is set) the pixel is over-blended toward colour by
// clamp01(coverage * opacity * colour.a), otherwise left as it is. minps and
// maxps return their second operand unless their comparison holds, which is
// exactly std::min(x, 1) with the operands swapped and clamp01's two steps,
// NaN included.
ORMEL_TARGET_AVX2 inline void blendOctetCoverage(PixelOctet& o, __m256 d, __m256 allowed,
                                                 float edge, float opacity,
                                                 const OctetColour& colour) {
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 zero = _mm256_setzero_ps();
    const __m256 coverage = _mm256_min_ps(one, _mm256_sub_ps(_mm256_set1_ps(edge), d));
    const __m256 take = _mm256_and_ps(allowed, _mm256_cmp_ps(coverage, zero, _CMP_GT_OQ));
    if (_mm256_movemask_ps(take) == 0) return;
    __m256 raw = _mm256_mul_ps(coverage, _mm256_set1_ps(opacity));
    if (!colour.opaque) raw = _mm256_mul_ps(raw, colour.alpha);
    const __m256 amount = _mm256_max_ps(_mm256_min_ps(raw, one), zero);
    const __m256 keep = _mm256_sub_ps(one, amount);
    // The colour's term first: a NaN colour channel wins over a NaN pixel.
    const __m256 r = addInOrderVex(_mm256_mul_ps(colour.r, amount), _mm256_mul_ps(o.r, keep));
    const __m256 g = addInOrderVex(_mm256_mul_ps(colour.g, amount), _mm256_mul_ps(o.g, keep));
    const __m256 b = addInOrderVex(_mm256_mul_ps(colour.b, amount), _mm256_mul_ps(o.b, keep));
    // Alpha blends toward 1, and 1 * amount is amount itself.
    const __m256 alpha = _mm256_add_ps(_mm256_mul_ps(o.a, keep), amount);
    o.r = _mm256_blendv_ps(o.r, r, take);
    o.g = _mm256_blendv_ps(o.g, g, take);
    o.b = _mm256_blendv_ps(o.b, b, take);
    o.a = _mm256_blendv_ps(o.a, _mm256_max_ps(_mm256_min_ps(alpha, one), zero), take);
}

// One coverage blend's constants, broadcast once per mark.
struct OctetLayer {
    __m256 edge;     // coverage = min(edge - distance, 1)
    __m256 opacity;
    // The opacity and the colour's alpha lie in (0, 1]: where a lane is taken
    // its coverage lies in (0, 1] too, so their product cannot leave [+0, 1]
    // and the clamp would return it unchanged.
    bool unclamped;
};

ORMEL_TARGET_AVX2 inline OctetLayer octetLayer(float edge, float opacity, const OctetColour& colour) {
    return {_mm256_set1_ps(edge), _mm256_set1_ps(opacity),
            opacity > 0.0f && opacity <= 1.0f && colour.unitAlpha};
}

// blendOctetCoverage with the lanes to consider given as a mask; the selects
// are folded into masked operations. kPlain: the colour is opaque and the
// layer unclamped, which the caller has checked once for the whole mark.
template <bool kPlain = false>
ORMEL_TARGET_AVX512 inline void blendOctetLayerMasked(PixelOctet& o, __m256 d, __mmask8 allowed,
                                                      const OctetLayer& layer,
                                                      const OctetColour& colour) {
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 zero = _mm256_setzero_ps();
    const __m256 coverage = _mm256_min_ps(one, _mm256_sub_ps(layer.edge, d));
    const __mmask8 take = _mm256_mask_cmp_ps_mask(allowed, coverage, zero, _CMP_GT_OQ);
    if (take == 0) return;
    __m256 raw = _mm256_mul_ps(coverage, layer.opacity);
    if (!kPlain && !colour.opaque) raw = _mm256_mul_ps(raw, colour.alpha);
    const __m256 amount =
        kPlain || layer.unclamped ? raw : _mm256_max_ps(_mm256_min_ps(raw, one), zero);
    const __m256 keep = _mm256_sub_ps(one, amount);
    o.r = addInOrderMasked(o.r, take, _mm256_mul_ps(colour.r, amount), _mm256_mul_ps(o.r, keep));
    o.g = addInOrderMasked(o.g, take, _mm256_mul_ps(colour.g, amount), _mm256_mul_ps(o.g, keep));
    o.b = addInOrderMasked(o.b, take, _mm256_mul_ps(colour.b, amount), _mm256_mul_ps(o.b, keep));
    const __m256 alpha = _mm256_add_ps(_mm256_mul_ps(o.a, keep), amount);
    o.a = _mm256_mask_max_ps(o.a, take, _mm256_min_ps(alpha, one), zero);
}

}  // namespace ormel

#endif
