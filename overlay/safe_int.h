// Clipping of drawing ranges, plus the engine's guarded conversions and image
// check. Positions and sizes reach the overlay from preset files without range
// checks, so no drawing loop may convert them to int unguarded.
#pragma once

#include <cmath>
#include <cstdint>

#include "engine/image_checks.h"
#include "engine/int_conversion.h"
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

}  // namespace ormel
