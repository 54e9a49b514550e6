// Float-to-integer conversions that cannot invoke undefined behaviour: NaN
// becomes 0 and values beyond the int32 range saturate.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace ormel {

inline int32_t saturateToInt32(double v) {
    if (!(v == v)) {
        return 0;
    }
    if (v >= 2147483647.0) {
        return std::numeric_limits<int32_t>::max();
    }
    if (v <= -2147483648.0) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(v);
}

inline int32_t saturateToInt32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    if (v < std::numeric_limits<int32_t>::min()) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(v);
}

// Halves go away from zero.
inline int32_t roundToInt32(float v) { return saturateToInt32(static_cast<double>(std::round(v))); }
inline int32_t floorToInt32(float v) { return saturateToInt32(static_cast<double>(std::floor(v))); }
inline int32_t ceilToInt32(float v) { return saturateToInt32(static_cast<double>(std::ceil(v))); }
inline int32_t truncToInt32(float v) { return saturateToInt32(static_cast<double>(std::trunc(v))); }

}  // namespace ormel
