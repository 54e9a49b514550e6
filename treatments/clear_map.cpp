#include "treatments/clear_map.h"

#include <algorithm>
#include <cstring>

#include "engine/simd_level.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ormel {

int32_t stretchesIn(int32_t width) { return (width + kClearStretch - 1) / kClearStretch; }

void resetClearMap(ClearMap& map, const Image& image) {
    map.perRow = stretchesIn(image.width);
    map.clear.assign(static_cast<size_t>(map.perRow) * static_cast<size_t>(std::max(image.height, 0)), 0);
}

bool allZeroBits(const Pixel* p, size_t n) {
#if defined(__SSE2__)
    if (simdAtLeast(SimdLevel::sse2)) {
        // A pixel is one 16-byte vector; four are folded at a time.
        __m128i any = _mm_setzero_si128();
        size_t i = 0;
        for (; i + 4 <= n; i += 4) {
            const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&p[i])),
                                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(&p[i + 1])));
            const __m128i b = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&p[i + 2])),
                                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(&p[i + 3])));
            any = _mm_or_si128(any, _mm_or_si128(a, b));
        }
        for (; i < n; ++i) any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&p[i])));
        return _mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) == 0xffff;
    }
#endif
    uint32_t any = 0;
    for (size_t i = 0; i < n; ++i) {
        uint32_t bits[4];
        std::memcpy(bits, &p[i], sizeof bits);
        any |= bits[0] | bits[1] | bits[2] | bits[3];
    }
    return any == 0;
}

void remarkStretches(ClearMap& map, const Image& image, int32_t y, int32_t x, int32_t n) {
    const Pixel* row = &image.at(0, y);
    uint8_t* marks = map.row(y);
    for (int32_t from = x; from < x + n; from += kClearStretch) {
        const int32_t count = std::min(kClearStretch, image.width - from);
        marks[from / kClearStretch] = allZeroBits(row + from, static_cast<size_t>(count));
    }
}

}  // namespace ormel
