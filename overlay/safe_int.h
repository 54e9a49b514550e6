// Float-to-integer conversions that tolerate NaN, infinities and huge values,
// and the image check every drawing routine makes before it writes.
// Positions and sizes reach the overlay from preset files without range
// checks, so no drawing loop may convert them to int unguarded.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/types.h"

namespace ormel {

// Clips the inclusive pixel range [first, last] (whole-valued floats, already
// floored, ceiled or truncated by the caller) to [0, size - 1]. Returns false
// when nothing is left, which includes NaN bounds and an empty image.
inline bool clipRange(float first, float last, int32_t size, int32_t& lo, int32_t& hi) {
    if (size < 1 || !(first <= last)) return false;
    const float top = static_cast<float>(size - 1);
    if (last < 0.0f || first > top) return false;
    lo = first > 0.0f ? static_cast<int32_t>(first) : 0;
    hi = last < top ? static_cast<int32_t>(last) : size - 1;
    return lo <= hi;
}

// Nearest integer with halves away from zero, saturated to the int32 range;
// NaN gives 0.
inline int32_t roundToInt32(float v) {
    if (!(v == v)) return 0;
    const float r = std::round(v);
    if (r >= 2147483647.0f) return std::numeric_limits<int32_t>::max();
    if (r <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}

// Largest integer not above v, saturated to the int32 range; NaN gives 0.
inline int32_t floorToInt32(float v) {
    if (!(v == v)) return 0;
    const float r = std::floor(v);
    if (r >= 2147483647.0f) return std::numeric_limits<int32_t>::max();
    if (r <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}

// Integer part (toward zero), saturated to the int32 range; NaN gives 0.
inline int32_t truncToInt32(float v) {
    if (!(v == v)) return 0;
    const float r = std::trunc(v);
    if (r >= 2147483647.0f) return std::numeric_limits<int32_t>::max();
    if (r <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}

// Whether an image's pixel array really holds width x height pixels. Image
// has public fields, so a mismatched one is treated as nothing to draw on
// rather than written out of bounds.
inline bool isDrawable(const Image& image) {
    return !image.empty() &&
           image.pixels.size() == static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
}

// Saturates a 64-bit integer to the int32 range.
inline int32_t saturateInt32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

}  // namespace ormel
