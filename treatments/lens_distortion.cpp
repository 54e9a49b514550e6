#include "treatments/lens_distortion.h"

#include <cfloat>
#include <algorithm>
#include <cmath>
#include <memory>

#include "engine/image_checks.h"
#include "engine/simd_asm.h"
#include "engine/simd_level.h"
#include "treatments/bilinear.h"
#include "treatments/safe_convert.h"

#if defined(ORMEL_SIMD_ASM)
#define VARNOK_LENS_AVX2 1
#endif

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

// The picture before the lens, with one more column and one more row
// repeating the last ones: the pixel right of (x0, y0) and the row below are
// then always the next in memory, and they hold what bilinearSample's
// clamped x1 = min(x0 + 1, width - 1) and y1 read.
class PaddedCopy {
public:
    PaddedCopy(const Image& image, const RowBands& bands)
        : width_(image.width), height_(image.height), stride_(static_cast<size_t>(image.width) + 1),
          data_(new Pixel[stride_ * (static_cast<size_t>(image.height) + 1)]) {
        const size_t width = static_cast<size_t>(image.width);
        auto copyRow = [&](int32_t from, int32_t to) {
            const Pixel* in = &image.pixels[static_cast<size_t>(from) * width];
            Pixel* out = data_.get() + static_cast<size_t>(to) * stride_;
            std::copy(in, in + width, out);
            out[width] = in[width - 1];
        };
        bands.forEachBand(image.height, [&](Band band) {
            for (int32_t y = band.begin; y < band.end; ++y) copyRow(y, y);
            if (band.end == image.height) copyRow(image.height - 1, image.height);
        });
    }

    // The pixel at (x, y) and, after it in memory, its right-hand neighbour;
    // stride() further on, the row below.
    const Pixel* at(int32_t x, int32_t y) const {
        return data_.get() + static_cast<size_t>(y) * stride_ + static_cast<size_t>(x);
    }
    size_t stride() const { return stride_; }
    size_t size() const { return stride_ * (static_cast<size_t>(height_) + 1); }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }

private:
    int32_t width_, height_;
    size_t stride_;
    std::unique_ptr<Pixel[]> data_;
};

// bilinearSample on the padded copy.
Pixel sampleAt(const PaddedCopy& copy, float x, float y) {
    const float px = clampCoordinate(x, static_cast<float>(copy.width() - 1));
    const float py = clampCoordinate(y, static_cast<float>(copy.height() - 1));
    const int32_t x0 = static_cast<int32_t>(px);
    const int32_t y0 = static_cast<int32_t>(py);
    float fx = px - static_cast<float>(x0);
    float fy = py - static_cast<float>(y0);
    fx = fx < 0.0f ? 0.0f : (fx > 1.0f ? 1.0f : fx);
    fy = fy < 0.0f ? 0.0f : (fy > 1.0f ? 1.0f : fy);
    const Pixel* p = copy.at(x0, y0);
    const Pixel* below = p + copy.stride();
    const Pixel top = lerpPixel(p[0], p[1], fx);
    const Pixel bottom = lerpPixel(below[0], below[1], fx);
    return lerpPixel(top, bottom, fy);
}

Pixel lensPixel(const PaddedCopy& copy, const Lens& k, int32_t x, float ny) {
    const float nx = (static_cast<float>(x) - k.cx) * k.sx;
    const float r2 = nx * nx + ny * ny;
    // r^4 is one factor of the fisheye term, formed before it is scaled.
    const float r4 = r2 * r2;
    const float f = finiteFactor(1.0f + k.lensTerm * r2 + k.fisheyeTerm * r4);
    // With a zero centre (one column or row) only the centre term remains.
    const float sourceX = k.cx > 0.0f ? k.cx + f * nx * k.cx : k.cx;
    const float sourceY = k.cy > 0.0f ? k.cy + f * ny * k.cy : k.cy;
    return sampleAt(copy, sourceX, sourceY);
}

#if defined(VARNOK_LENS_AVX2)
// Every lerp here has always added its product first.
__attribute__((target("avx2"), always_inline)) inline __m256 lerp(__m256 a, __m256 b, __m256 t) {
    return addInOrderVex(_mm256_mul_ps(_mm256_sub_ps(b, a), t), a);
}

// Eight pixels of a row: positions, factors, clamps and fractions side by side,
// then two pixels' bilinear mixes at a time, each pixel's four channels in one
// half of a vector. Each pair of neighbours is one 32-byte load. The same
// single-precision operations in the same order as lensPixel, so the same bits.
__attribute__((target("avx2"))) void lensEight(const PaddedCopy& copy, Image& image, const Lens& k, int32_t x,
                                               int32_t y, float ny) {
    const __m256 zero = _mm256_setzero_ps();
    const __m256 one = _mm256_set1_ps(1.0f);
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
                                    _mm256_min_ps(sourceX, _mm256_set1_ps(static_cast<float>(copy.width() - 1))));
    const __m256 py = _mm256_and_ps(_mm256_cmp_ps(sourceY, zero, _CMP_GT_OQ),
                                    _mm256_min_ps(sourceY, _mm256_set1_ps(static_cast<float>(copy.height() - 1))));
    const __m256i x0 = _mm256_cvttps_epi32(px);
    const __m256i y0 = _mm256_cvttps_epi32(py);
    const __m256 fx = _mm256_min_ps(_mm256_max_ps(_mm256_sub_ps(px, _mm256_cvtepi32_ps(x0)), zero), one);
    const __m256 fy = _mm256_min_ps(_mm256_max_ps(_mm256_sub_ps(py, _mm256_cvtepi32_ps(y0)), zero), one);

    alignas(32) int32_t at[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at),
                       _mm256_add_epi32(_mm256_mullo_epi32(y0, _mm256_set1_epi32(static_cast<int32_t>(copy.stride()))), x0));
    const float* base = reinterpret_cast<const float*>(copy.at(0, 0));
    const size_t below = copy.stride() * 4;
    float* out = reinterpret_cast<float*>(&image.at(x, y));
    for (int i = 0; i < 8; i += 2) {
        const float* a = base + 4 * static_cast<size_t>(at[i]);
        const float* b = base + 4 * static_cast<size_t>(at[i + 1]);
        const __m256 upperA = _mm256_loadu_ps(a), upperB = _mm256_loadu_ps(b);
        const __m256 lowerA = _mm256_loadu_ps(a + below), lowerB = _mm256_loadu_ps(b + below);
        const __m256 p00 = _mm256_permute2f128_ps(upperA, upperB, 0x20);
        const __m256 p10 = _mm256_permute2f128_ps(upperA, upperB, 0x31);
        const __m256 p01 = _mm256_permute2f128_ps(lowerA, lowerB, 0x20);
        const __m256 p11 = _mm256_permute2f128_ps(lowerA, lowerB, 0x31);
        const __m256i pick = _mm256_setr_epi32(i, i, i, i, i + 1, i + 1, i + 1, i + 1);
        const __m256 fxi = _mm256_permutevar8x32_ps(fx, pick);
        const __m256 fyi = _mm256_permutevar8x32_ps(fy, pick);
        _mm256_storeu_ps(out + 4 * i, lerp(lerp(p00, p10, fxi), lerp(p01, p11, fxi), fyi));
    }
}
#endif

}  // namespace

void applyLensDistortion(Image& image, const Settings& settings, const RowBands& bands) {
    const float lens = settings.lensDistortion;
    const float fisheye = settings.fisheye;
    if (!isUsableImage(image) || !(std::fabs(lens) > 0.001f || fisheye > 0.001f)) return;

    const PaddedCopy copy(image, bands);
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
            if (simdAtLeast(SimdLevel::avx2) && copy.size() < (size_t{1} << 31)) {
                for (; x + 8 <= image.width; x += 8) lensEight(copy, image, k, x, y, ny);
            }
#endif
            for (; x < image.width; ++x) image.at(x, y) = lensPixel(copy, k, x, ny);
        }
    });
}

}  // namespace ormel
