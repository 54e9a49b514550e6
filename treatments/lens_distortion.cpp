#include "treatments/lens_distortion.h"

#include <cfloat>
#include <cmath>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define VARNOK_LENS_AVX2 1
#endif

#include "engine/image_checks.h"
#include "treatments/bilinear.h"

namespace ormel {
namespace {

// Keeps the radial factor finite: an infinite factor times a zero offset would be NaN.
float finiteFactor(float f) {
    if (std::isnan(f)) return 1.0f;
    return f > FLT_MAX ? FLT_MAX : (f < -FLT_MAX ? -FLT_MAX : f);
}

struct Lens {
    float cx, cy, sx, sy;
    float lensTerm;     // 0.75 * lensDistortion, as the per-pixel product forms it first
    float fisheyeTerm;  // 1.15 * fisheye, likewise
};

Pixel lensPixel(const Image& copy, const Lens& k, int32_t x, float ny) {
    const float nx = (static_cast<float>(x) - k.cx) * k.sx;
    const float r2 = nx * nx + ny * ny;
    // r^4 is one factor of the fisheye term, formed before it is scaled.
    const float r4 = r2 * r2;
    const float f = finiteFactor(1.0f + k.lensTerm * r2 + k.fisheyeTerm * r4);
    // With a zero centre (one column or row) only the centre term remains.
    const float sourceX = k.cx > 0.0f ? k.cx + f * nx * k.cx : k.cx;
    const float sourceY = k.cy > 0.0f ? k.cy + f * ny * k.cy : k.cy;
    return bilinearSample(copy, sourceX, sourceY);
}

#if defined(VARNOK_LENS_AVX2)
// Eight pixels of a row: positions, factors, clamps and fractions side by side,
// then each pixel's bilinear mix with its four channels in one half of a
// vector. The same single-precision operations in the same order as
// lensPixel, so the same bits.
__attribute__((target("avx2"))) void lensEight(const Image& copy, Image& image, const Lens& k, int32_t x, int32_t y,
                                               float ny) {
    const __m256 zero = _mm256_setzero_ps();
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256i oneI = _mm256_set1_epi32(1);
    const __m256 cx = _mm256_set1_ps(k.cx);
    const __m256 nx = _mm256_mul_ps(
        _mm256_sub_ps(
            _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(x), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7))),
            cx),
        _mm256_set1_ps(k.sx));
    const __m256 nyv = _mm256_set1_ps(ny);
    const __m256 r2 = _mm256_add_ps(_mm256_mul_ps(nx, nx), _mm256_mul_ps(nyv, nyv));
    const __m256 r4 = _mm256_mul_ps(r2, r2);
    __m256 f = _mm256_add_ps(_mm256_add_ps(one, _mm256_mul_ps(_mm256_set1_ps(k.lensTerm), r2)),
                             _mm256_mul_ps(_mm256_set1_ps(k.fisheyeTerm), r4));
    const __m256 isNan = _mm256_cmp_ps(f, f, _CMP_UNORD_Q);
    f = _mm256_max_ps(_mm256_min_ps(f, _mm256_set1_ps(FLT_MAX)), _mm256_set1_ps(-FLT_MAX));
    f = _mm256_blendv_ps(f, one, isNan);
    const __m256 sourceX =
        k.cx > 0.0f ? _mm256_add_ps(cx, _mm256_mul_ps(_mm256_mul_ps(f, nx), cx)) : cx;
    const __m256 cy = _mm256_set1_ps(k.cy);
    const __m256 sourceY =
        k.cy > 0.0f ? _mm256_add_ps(cy, _mm256_mul_ps(_mm256_mul_ps(f, nyv), cy)) : cy;

    // bilinearSample, lane by lane.
    const __m256 px = _mm256_and_ps(_mm256_cmp_ps(sourceX, zero, _CMP_GT_OQ),
                                    _mm256_min_ps(sourceX, _mm256_set1_ps(static_cast<float>(copy.width - 1))));
    const __m256 py = _mm256_and_ps(_mm256_cmp_ps(sourceY, zero, _CMP_GT_OQ),
                                    _mm256_min_ps(sourceY, _mm256_set1_ps(static_cast<float>(copy.height - 1))));
    const __m256i x0 = _mm256_cvttps_epi32(px);
    const __m256i y0 = _mm256_cvttps_epi32(py);
    const __m256i x1 = _mm256_min_epi32(_mm256_add_epi32(x0, oneI), _mm256_set1_epi32(copy.width - 1));
    const __m256i y1 = _mm256_min_epi32(_mm256_add_epi32(y0, oneI), _mm256_set1_epi32(copy.height - 1));
    const __m256 fx = _mm256_min_ps(_mm256_max_ps(_mm256_sub_ps(px, _mm256_cvtepi32_ps(x0)), zero), one);
    const __m256 fy = _mm256_min_ps(_mm256_max_ps(_mm256_sub_ps(py, _mm256_cvtepi32_ps(y0)), zero), one);

    const __m256i width = _mm256_set1_epi32(copy.width);
    alignas(32) int32_t i00[8], i10[8], i01[8], i11[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(i00), _mm256_add_epi32(_mm256_mullo_epi32(y0, width), x0));
    _mm256_store_si256(reinterpret_cast<__m256i*>(i10), _mm256_add_epi32(_mm256_mullo_epi32(y0, width), x1));
    _mm256_store_si256(reinterpret_cast<__m256i*>(i01), _mm256_add_epi32(_mm256_mullo_epi32(y1, width), x0));
    _mm256_store_si256(reinterpret_cast<__m256i*>(i11), _mm256_add_epi32(_mm256_mullo_epi32(y1, width), x1));
    const float* base = reinterpret_cast<const float*>(copy.pixels.data());
    float* out = reinterpret_cast<float*>(&image.at(x, y));
    for (int i = 0; i < 8; i += 2) {
        const __m256 p00 = _mm256_loadu2_m128(base + 4 * static_cast<size_t>(i00[i + 1]), base + 4 * static_cast<size_t>(i00[i]));
        const __m256 p10 = _mm256_loadu2_m128(base + 4 * static_cast<size_t>(i10[i + 1]), base + 4 * static_cast<size_t>(i10[i]));
        const __m256 p01 = _mm256_loadu2_m128(base + 4 * static_cast<size_t>(i01[i + 1]), base + 4 * static_cast<size_t>(i01[i]));
        const __m256 p11 = _mm256_loadu2_m128(base + 4 * static_cast<size_t>(i11[i + 1]), base + 4 * static_cast<size_t>(i11[i]));
        const __m256i pick = _mm256_setr_epi32(i, i, i, i, i + 1, i + 1, i + 1, i + 1);
        const __m256 fxi = _mm256_permutevar8x32_ps(fx, pick);
        const __m256 fyi = _mm256_permutevar8x32_ps(fy, pick);
        const __m256 top = _mm256_add_ps(p00, _mm256_mul_ps(_mm256_sub_ps(p10, p00), fxi));
        const __m256 bottom = _mm256_add_ps(p01, _mm256_mul_ps(_mm256_sub_ps(p11, p01), fxi));
        _mm256_storeu_ps(out + 4 * i, _mm256_add_ps(top, _mm256_mul_ps(_mm256_sub_ps(bottom, top), fyi)));
    }
}

bool haveAvx2() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}
#endif

}  // namespace

void applyLensDistortion(Image& image, const Settings& settings, const RowBands& bands) {
    const float lens = settings.lensDistortion;
    const float fisheye = settings.fisheye;
    if (!isUsableImage(image) || !(std::fabs(lens) > 0.001f || fisheye > 0.001f)) return;

    const Image copy = image;
    Lens k;
    k.cx = static_cast<float>(image.width - 1) / 2.0f;
    k.cy = static_cast<float>(image.height - 1) / 2.0f;
    k.sx = k.cx > 0.0f ? 1.0f / k.cx : 1.0f;
    k.sy = k.cy > 0.0f ? 1.0f / k.cy : 1.0f;
    k.lensTerm = 0.75f * lens;
    k.fisheyeTerm = 1.15f * fisheye;

    bands.forEachBand(image.height, [&](Band band) {
        for (int32_t y = band.begin; y < band.end; ++y) {
            const float ny = (static_cast<float>(y) - k.cy) * k.sy;
            int32_t x = 0;
#if defined(VARNOK_LENS_AVX2)
            // Pixel indices as 32-bit products: only for images that small.
            if (haveAvx2() && copy.pixels.size() < (size_t{1} << 31)) {
                for (; x + 8 <= image.width; x += 8) lensEight(copy, image, k, x, y, ny);
            }
#endif
            for (; x < image.width; ++x) image.at(x, y) = lensPixel(copy, k, x, ny);
        }
    });
}

}  // namespace ormel
