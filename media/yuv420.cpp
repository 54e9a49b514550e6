#include "media/yuv420.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#include <xmmintrin.h>
#define VARNOK_YUV_SSE2 1
#endif

namespace varnok {
namespace {

inline float unit(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }

// Values are at least 0 (and below 256) here, so truncation rounds half up.
inline uint8_t toByte(float v) { return static_cast<uint8_t>(std::min(v + 0.5f, 255.0f)); }

// On samples in 0..1. Adding a negative product gives the same bits as
// subtracting the positive one.
inline float luma(const YuvCoefficients& k, float r, float g, float b) {
    return k.yOffset + k.yr * r + k.yg * g + k.yb * b;
}
inline float blueDifference(const YuvCoefficients& k, float r, float g, float b) {
    return 128.0f + k.ur * r + k.ug * g + k.ub * b;
}
inline float redDifference(const YuvCoefficients& k, float r, float g, float b) {
    return 128.0f + k.vr * r + k.vg * g + k.vb * b;
}

// One luma row, and each column's clamped channels added into the sums
// (`first`: stored instead, for the first row of a pair).
void lumaRow(const YuvCoefficients& k, const float* rgba, int width, int paddedWidth, bool first, uint8_t* y, float* r,
             float* g, float* b) {
    int x = 0;
#if defined(VARNOK_YUV_SSE2)
    // Four pixels as channel vectors, the same operations in the same order
    // as the plain loop below, so the same bytes.
    const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f), half = _mm_set1_ps(0.5f);
    const __m128 top = _mm_set1_ps(255.0f);
    const __m128 offset = _mm_set1_ps(k.yOffset), kr = _mm_set1_ps(k.yr), kg = _mm_set1_ps(k.yg),
                 kb = _mm_set1_ps(k.yb);
    for (; x + 4 <= width; x += 4) {
        const float* p = rgba + static_cast<size_t>(x) * 4;
        __m128 pr = _mm_loadu_ps(p), pg = _mm_loadu_ps(p + 4), pb = _mm_loadu_ps(p + 8), pa = _mm_loadu_ps(p + 12);
        _MM_TRANSPOSE4_PS(pr, pg, pb, pa);
        // max with NaN first gives 0, as the comparison does.
        pr = _mm_min_ps(_mm_max_ps(pr, zero), one);
        pg = _mm_min_ps(_mm_max_ps(pg, zero), one);
        pb = _mm_min_ps(_mm_max_ps(pb, zero), one);
        const __m128 l = _mm_add_ps(_mm_add_ps(_mm_add_ps(offset, _mm_mul_ps(kr, pr)), _mm_mul_ps(kg, pg)),
                                    _mm_mul_ps(kb, pb));
        const __m128i n = _mm_cvttps_epi32(_mm_min_ps(_mm_add_ps(l, half), top));
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(n, n), _mm_setzero_si128());
        const int four = _mm_cvtsi128_si32(bytes);
        std::memcpy(y + x, &four, 4);
        if (first) {
            _mm_storeu_ps(r + x, pr);
            _mm_storeu_ps(g + x, pg);
            _mm_storeu_ps(b + x, pb);
        } else {
            _mm_storeu_ps(r + x, _mm_add_ps(_mm_loadu_ps(r + x), pr));
            _mm_storeu_ps(g + x, _mm_add_ps(_mm_loadu_ps(g + x), pg));
            _mm_storeu_ps(b + x, _mm_add_ps(_mm_loadu_ps(b + x), pb));
        }
    }
#endif
    for (; x < width; ++x) {
        const float* p = rgba + static_cast<size_t>(x) * 4;
        const float pr = unit(p[0]), pg = unit(p[1]), pb = unit(p[2]);
        y[x] = toByte(luma(k, pr, pg, pb));
        r[x] = first ? pr : r[x] + pr;
        g[x] = first ? pg : g[x] + pg;
        b[x] = first ? pb : b[x] + pb;
    }
    std::fill(y + width, y + paddedWidth, toByte(luma(k, 0.0f, 0.0f, 0.0f)));
}

// The chroma of one pair of rows from its column sums: each sample the mean
// of its 2 x 2 block, centred on it.
void chromaRow(const YuvCoefficients& k, const float* r, const float* g, const float* b, size_t count, uint8_t* u,
               uint8_t* v) {
    size_t i = 0;
#if defined(VARNOK_YUV_SSE2)
    const __m128 quarter = _mm_set1_ps(0.25f), half = _mm_set1_ps(0.5f), zero = _mm_setzero_ps();
    const __m128 top = _mm_set1_ps(255.0f);
    auto pairs = [&](const float* c) {
        const __m128 lo = _mm_loadu_ps(c), hi = _mm_loadu_ps(c + 4);
        const __m128 even = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0));
        const __m128 odd = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1));
        return _mm_mul_ps(_mm_add_ps(even, odd), quarter);
    };
    auto store = [&](__m128 value, uint8_t* out) {
        const __m128i n = _mm_cvttps_epi32(_mm_min_ps(_mm_add_ps(_mm_max_ps(value, zero), half), top));
        const int four = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(n, n), _mm_setzero_si128()));
        std::memcpy(out, &four, 4);
    };
    const __m128 centre = _mm_set1_ps(128.0f), ur = _mm_set1_ps(k.ur), ug = _mm_set1_ps(k.ug),
                 ub = _mm_set1_ps(k.ub), vr = _mm_set1_ps(k.vr), vg = _mm_set1_ps(k.vg), vb = _mm_set1_ps(k.vb);
    for (; i + 4 <= count; i += 4) {
        const __m128 cr = pairs(r + 2 * i), cg = pairs(g + 2 * i), cb = pairs(b + 2 * i);
        store(_mm_add_ps(_mm_add_ps(_mm_add_ps(centre, _mm_mul_ps(ur, cr)), _mm_mul_ps(ug, cg)), _mm_mul_ps(ub, cb)),
              u + i);
        store(_mm_add_ps(_mm_add_ps(_mm_add_ps(centre, _mm_mul_ps(vr, cr)), _mm_mul_ps(vg, cg)), _mm_mul_ps(vb, cb)),
              v + i);
    }
#endif
    for (; i < count; ++i) {
        const float cr = (r[2 * i] + r[2 * i + 1]) * 0.25f;
        const float cg = (g[2 * i] + g[2 * i + 1]) * 0.25f;
        const float cb = (b[2 * i] + b[2 * i + 1]) * 0.25f;
        u[i] = toByte(std::max(blueDifference(k, cr, cg, cb), 0.0f));
        v[i] = toByte(std::max(redDifference(k, cr, cg, cb), 0.0f));
    }
}

}  // namespace

Yuv420Layout yuv420Layout(int width, int height) {
    Yuv420Layout l;
    l.width = (std::max(width, 0) + 1) / 2 * 2;
    l.height = (std::max(height, 0) + 1) / 2 * 2;
    l.lumaBytes = static_cast<size_t>(l.width) * static_cast<size_t>(l.height);
    l.chromaBytes = l.lumaBytes / 4;
    return l;
}

YuvCoefficients yuvCoefficients(double kr, double kb, bool fullRange) {
    const double kg = 1.0 - kr - kb;
    const double yScale = fullRange ? 255.0 : 219.0, cScale = fullRange ? 255.0 : 224.0;
    auto t = [](double v) { return static_cast<float>(std::round(v * 1000.0) / 1000.0); };
    const double ub = 2.0 * (1.0 - kb), vr = 2.0 * (1.0 - kr);
    YuvCoefficients k;
    k.yOffset = fullRange ? 0.0f : 16.0f;
    k.yr = t(yScale * kr), k.yg = t(yScale * kg), k.yb = t(yScale * kb);
    k.ur = t(-cScale * kr / ub), k.ug = t(-cScale * kg / ub), k.ub = t(cScale * 0.5);
    k.vr = t(cScale * 0.5), k.vg = t(-cScale * kg / vr), k.vb = t(-cScale * kb / vr);
    return k;
}

YuvCoefficients bt601VideoRange() { return yuvCoefficients(0.299, 0.114, false); }

void packYuv420Rows(const float* rgba, int width, int height, int row0, int row1, uint8_t* frame,
                    const YuvCoefficients& k) {
    const Yuv420Layout l = yuv420Layout(width, height);
    const size_t half = static_cast<size_t>(l.width / 2);
    // Per column, the channels of the pair of rows added (the padding is 0).
    std::vector<float> r(static_cast<size_t>(l.width), 0.0f), g(r), b(r);
    for (int j = row0; j < row1; ++j) {
        for (int y = 2 * j; y < 2 * j + 2; ++y) {
            uint8_t* lumaOut = frame + static_cast<size_t>(y) * static_cast<size_t>(l.width);
            if (y < height) {
                lumaRow(k, rgba + static_cast<size_t>(y) * static_cast<size_t>(width) * 4, width, l.width,
                        y == 2 * j, lumaOut, r.data(), g.data(), b.data());
            } else {
                std::fill(lumaOut, lumaOut + l.width, toByte(luma(k, 0.0f, 0.0f, 0.0f)));
            }
        }
        uint8_t* u = frame + l.lumaBytes + static_cast<size_t>(j) * half;
        chromaRow(k, r.data(), g.data(), b.data(), half, u, u + l.chromaBytes);
    }
}

void packAlphaRows(const float* rgba, int width, int height, int row0, int row1, uint8_t* plane) {
    const Yuv420Layout l = yuv420Layout(width, height);
    for (int y = 2 * row0; y < 2 * row1; ++y) {
        uint8_t* out = plane + static_cast<size_t>(y) * static_cast<size_t>(l.width);
        int x = 0;
        if (y < height) {
            const float* p = rgba + static_cast<size_t>(y) * static_cast<size_t>(width) * 4 + 3;
            for (; x < width; ++x, p += 4) out[x] = toByte(unit(*p) * 255.0f);
        }
        std::fill(out + x, out + l.width, uint8_t{255});
    }
}

}  // namespace varnok
