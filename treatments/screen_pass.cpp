#include "treatments/screen_pass.h"

#include <cmath>
#include <cstdint>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#endif

#include "engine/image_checks.h"
#include "engine/picture_rows.h"
#include "engine/pixel_ops.h"
#include "engine/simd_level.h"
#include "overlay/hash.h"

namespace ormel {
namespace {

// What the per-pixel path needs of one row.
struct ShadeRow {
    float scan;
    float flicker;
    float invert;
    float vignette;
    float noise;
    float cx;
    float dy;
    float radius;
    int32_t y;
    int32_t frame;
    int32_t seed;
};

// The pass over one row, from `in` to `out` (the same row when in place);
// which stages are on is a template argument, so the loop carries no branch
// and vectorises. Every step is the same single-precision operation as pixel
// by pixel, so the same bits.
template <bool vignetteOn, bool noiseOn, bool flickerOn, bool invertOn>
inline void shadeRowBody(const Pixel* in, Pixel* out, int32_t width, const ShadeRow& k) {
    for (int32_t x = 0; x < width; ++x) {
        float gain = k.scan;
        if (vignetteOn) {
            const float dx = static_cast<float>(x) - k.cx;
            float d = std::sqrt(dx * dx + k.dy * k.dy) / k.radius;
            d = d < 0.0f ? 0.0f : (d > 1.0f ? 1.0f : d);
            gain = k.scan * (1.0f - k.vignette * (d * d) * (3.0f - 2.0f * d));
        }
        const Pixel p = in[x];
        float r, g, b;
        if (noiseOn) {
            const float n = (hash01(x, k.y, k.frame, k.seed) - 0.5f) * k.noise;
            r = clamp01(p.r * gain + n);
            g = clamp01(p.g * gain + n);
            b = clamp01(p.b * gain + n);
        } else {
            r = clamp01(p.r * gain);
            g = clamp01(p.g * gain);
            b = clamp01(p.b * gain);
        }
        if (flickerOn) {
            r = clamp01(r * k.flicker);
            g = clamp01(g * k.flicker);
            b = clamp01(b * k.flicker);
        }
        if (invertOn) {
            r = clamp01(r + k.invert * (1.0f - 2.0f * r));
            g = clamp01(g + k.invert * (1.0f - 2.0f * g));
            b = clamp01(b + k.invert * (1.0f - 2.0f * b));
        }
        out[x] = Pixel{r, g, b, p.a};
    }
}

template <bool V, bool N, bool F, bool I>
void shadeRowPlain(const Pixel* in, Pixel* out, int32_t width, const ShadeRow& k) {
    shadeRowBody<V, N, F, I>(in, out, width, k);
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VARNOK_SCREEN_AVX2 1
// The same loop compiled for eight lanes (no fused multiply-add: AVX2 alone
// does not allow it), so the same bits.
template <bool V, bool N, bool F, bool I>
__attribute__((target("avx2"))) void shadeRowAvx2(const Pixel* in, Pixel* out, int32_t width, const ShadeRow& k) {
    shadeRowBody<V, N, F, I>(in, out, width, k);
}

// Only the scan gain and the clamp on, the usual state; lane for lane the
// operations of the loop above (multiply, then the two comparisons of
// clamp01), so the same bits. Footage already in range comes through
// unchanged, so in place each group of four pixels (a cache line once the row
// is aligned) is written back only when its bits change: lines left clean
// need no write to memory, half the traffic of a pass bound by it. Into
// another buffer the rows stream past the caches, which the destination
// lines would only pass through.
__attribute__((target("avx2"))) void gainClampRowAvx2(const Pixel* in, Pixel* out, int32_t width, const ShadeRow& k) {
    const bool inPlace = in == out;
    const bool stream = !inPlace && (reinterpret_cast<uintptr_t>(out) & 15u) == 0;
    int32_t head = 0;
    if (inPlace) {
        const uintptr_t offset = reinterpret_cast<uintptr_t>(out) & 63u;
        head = offset % sizeof(Pixel) == 0 ? static_cast<int32_t>(((64u - offset) & 63u) / sizeof(Pixel)) : 0;
        head = head < width ? head : width;
    }
    shadeRowBody<false, false, false, false>(in, out, head, k);
    const __m256 gain = _mm256_setr_ps(k.scan, k.scan, k.scan, 1.0f, k.scan, k.scan, k.scan, 1.0f);
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 zero = _mm256_setzero_ps();
    int32_t x = head;
    for (; x + 4 <= width; x += 4) {
        const float* p = &in[x].r;
        float* q = &out[x].r;
        const __m256 a = _mm256_loadu_ps(p);
        const __m256 b = _mm256_loadu_ps(p + 8);
        // Alpha is carried over from the source, not computed.
        const __m256 ca = _mm256_blend_ps(_mm256_max_ps(_mm256_min_ps(_mm256_mul_ps(a, gain), one), zero), a, 0x88);
        const __m256 cb = _mm256_blend_ps(_mm256_max_ps(_mm256_min_ps(_mm256_mul_ps(b, gain), one), zero), b, 0x88);
        if (inPlace) {
            const __m256i changed = _mm256_or_si256(_mm256_xor_si256(_mm256_castps_si256(ca), _mm256_castps_si256(a)),
                                                    _mm256_xor_si256(_mm256_castps_si256(cb), _mm256_castps_si256(b)));
            if (_mm256_testz_si256(changed, changed)) continue;
        }
        if (stream) {
            _mm_stream_ps(q, _mm256_castps256_ps128(ca));
            _mm_stream_ps(q + 4, _mm256_extractf128_ps(ca, 1));
            _mm_stream_ps(q + 8, _mm256_castps256_ps128(cb));
            _mm_stream_ps(q + 12, _mm256_extractf128_ps(cb, 1));
        } else {
            _mm256_storeu_ps(q, ca);
            _mm256_storeu_ps(q + 8, cb);
        }
    }
    shadeRowBody<false, false, false, false>(in + x, out + x, width - x, k);
}
#endif

using ShadeFn = void (*)(const Pixel*, Pixel*, int32_t, const ShadeRow&);

template <bool V, bool N, bool F, bool I>
ShadeFn shadeFor() {
#if defined(VARNOK_SCREEN_AVX2)
    if (simdAtLeast(SimdLevel::avx2)) return !V && !N && !F && !I ? gainClampRowAvx2 : shadeRowAvx2<V, N, F, I>;
#endif
    return shadeRowPlain<V, N, F, I>;
}

template <bool V, bool N, bool F>
ShadeFn shadeFor(bool invert) {
    return invert ? shadeFor<V, N, F, true>() : shadeFor<V, N, F, false>();
}

template <bool V, bool N>
ShadeFn shadeFor(bool flicker, bool invert) {
    return flicker ? shadeFor<V, N, true>(invert) : shadeFor<V, N, false>(invert);
}

ShadeFn shadeFor(bool vignette, bool noise, bool flicker, bool invert) {
    if (vignette) {
        return noise ? shadeFor<true, true>(flicker, invert) : shadeFor<true, false>(flicker, invert);
    }
    return noise ? shadeFor<false, true>(flicker, invert) : shadeFor<false, false>(flicker, invert);
}

// Row y of the result goes to out.row(y), which is the row itself in place.
void screenPassRows(const Image& image, const Settings& settings, const RowBands& bands, const PictureRows& out) {
    const float cx = static_cast<float>(image.width - 1) / 2.0f;
    const float cy = static_cast<float>(image.height - 1) / 2.0f;
    const float radius = std::fmax(1.0f, std::sqrt(cx * cx + cy * cy));
    const int32_t seed = settings.seed;
    const int32_t frame = settings.frameNumber;

    // Each stage is on only when its amount is above 0; NaN counts as off.
    const bool scanOn = settings.scanline > 0.0f;
    const bool vignetteOn = settings.vignette > 0.0f;
    const bool noiseOn = settings.noise > 0.0f;
    const bool flickerOn = settings.vhsFlicker > 0.0f;
    const bool invertOn = settings.invertAmount > 0.0f;
    const float vhs = settings.vhsFlicker;
    const float invert = settings.invertAmount;
    const float frameFlicker = hash01(frame, 0, 0, seedPlus(seed, 911));
    const ShadeFn shade = shadeFor(vignetteOn, noiseOn, flickerOn, invertOn);

    bands.forEachBand(image.height, [&](Band band) {
        for (int32_t y = band.begin; y < band.end; ++y) {
            const float scan = (scanOn && (y & 1) != 0) ? 1.0f - 0.45f * settings.scanline : 1.0f;
            float flicker = 1.0f;
            if (flickerOn) {
                const float rowFlicker = hash01(y, frame, 0, seedPlus(seed, 921));
                flicker = 1.0f + 0.28f * vhs * (frameFlicker - 0.5f) + 0.12f * vhs * (rowFlicker - 0.5f);
            }
            const ShadeRow k{scan, flicker, invert, settings.vignette, settings.noise, cx,
                             static_cast<float>(y) - cy, radius, y, frame, seed};
            shade(&image.at(0, y), out.row(y), image.width, k);
        }
        finishStreamedRows();
    });
}

}  // namespace

void applyScreenPass(Image& image, const Settings& settings, const RowBands& bands) {
    if (!isUsableImage(image)) return;
    screenPassRows(image, settings, bands, rowsOf(image));
}

void applyScreenPassInto(const Image& image, const Settings& settings, const RowBands& bands,
                         const PictureRows& out) {
    if (!isUsableImage(image) || !out.fits(image)) return;
    screenPassRows(image, settings, bands, out);
}

}  // namespace ormel
