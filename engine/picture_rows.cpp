#include "engine/picture_rows.h"

#include <cstring>

#include "engine/simd_level.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

namespace ormel {

void copyRowStreaming(void* dst, const void* src, size_t bytes) {
#if defined(__SSE2__)
    if (simdAtLeast(SimdLevel::sse2) && (reinterpret_cast<uintptr_t>(dst) & 15u) == 0) {
        auto* d = static_cast<float*>(dst);
        const auto* s = static_cast<const float*>(src);
        size_t i = 0;
        const size_t n = bytes / sizeof(float);
        for (; i + 16 <= n; i += 16) {
            const __m128 a = _mm_loadu_ps(s + i), b = _mm_loadu_ps(s + i + 4);
            const __m128 c = _mm_loadu_ps(s + i + 8), e = _mm_loadu_ps(s + i + 12);
            _mm_stream_ps(d + i, a);
            _mm_stream_ps(d + i + 4, b);
            _mm_stream_ps(d + i + 8, c);
            _mm_stream_ps(d + i + 12, e);
        }
        std::memcpy(d + i, s + i, bytes - i * sizeof(float));
        return;
    }
#endif
    std::memcpy(dst, src, bytes);
}

void finishStreamedRows() {
#if defined(__SSE2__)
    _mm_sfence();
#endif
}

void copyToPictureRows(const Image& image, const PictureRows& out, const RowBands& bands) {
    if (!out.fits(image)) return;
    const size_t rowCopy = static_cast<size_t>(image.width) * sizeof(Pixel);
    bands.forEachBand(image.height, [&](Band band) {
        for (int32_t y = band.begin; y < band.end; ++y) {
            copyRowStreaming(static_cast<void*>(out.row(y)), static_cast<const void*>(&image.at(0, y)), rowCopy);
        }
        finishStreamedRows();
    });
}

}  // namespace ormel
