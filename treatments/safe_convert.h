// Float-to-int conversions that stay defined for NaN, infinite and huge values.
// Settings arrive from preset files unchecked, so every such conversion goes through here.
#pragma once

#include <cmath>
#include <cstdint>

namespace ormel {

// trunc(v) clamped to [lo, hi]; NaN gives nanValue. The clamp happens in float,
// before the conversion, so the cast never sees an out-of-range value.
inline int32_t truncClamped(float v, int32_t lo, int32_t hi, int32_t nanValue) {
    if (std::isnan(v)) return nanValue;
    const float t = std::trunc(v);
    if (t <= static_cast<float>(lo)) return lo;
    if (t >= static_cast<float>(hi)) return hi;
    return static_cast<int32_t>(t);
}

inline int32_t truncClamped(double v, int32_t lo, int32_t hi, int32_t nanValue) {
    if (std::isnan(v)) return nanValue;
    const double t = std::trunc(v);
    if (t <= static_cast<double>(lo)) return lo;
    if (t >= static_cast<double>(hi)) return hi;
    return static_cast<int32_t>(t);
}

// Nearest whole number, halves away from zero, clamped to [lo, hi]; NaN gives nanValue.
inline int32_t roundClamped(float v, int32_t lo, int32_t hi, int32_t nanValue) {
    if (std::isnan(v)) return nanValue;
    const float t = std::round(v);
    if (t <= static_cast<float>(lo)) return lo;
    if (t >= static_cast<float>(hi)) return hi;
    return static_cast<int32_t>(t);
}

// A coordinate clamped to [0, hi]; NaN lands on 0 so the later floor stays defined.
inline float clampCoordinate(float v, float hi) {
    if (!(v > 0.0f)) return 0.0f;
    return v < hi ? v : hi;
}

}  // namespace ormel
