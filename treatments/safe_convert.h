// Float-to-int conversions that stay defined for NaN, infinite and huge values.
// Settings arrive from preset files unchecked, so every such conversion goes through here.
#pragma once

#include <cmath>
#include <cstdint>

namespace ormel {

// A whole value (trunc or round of a number, NaN already handled) clamped to
// [lo, hi] in its own type, before the conversion, so the cast never sees an
// out-of-range value.
template <class Real>
inline int32_t wholeClamped(Real whole, int32_t lo, int32_t hi) {
    if (whole <= static_cast<Real>(lo)) return lo;
    if (whole >= static_cast<Real>(hi)) return hi;
    return static_cast<int32_t>(whole);
}

// trunc(v) clamped to [lo, hi]; NaN gives nanValue.
inline int32_t truncClamped(float v, int32_t lo, int32_t hi, int32_t nanValue) {
    return std::isnan(v) ? nanValue : wholeClamped(std::trunc(v), lo, hi);
}

inline int32_t truncClamped(double v, int32_t lo, int32_t hi, int32_t nanValue) {
    return std::isnan(v) ? nanValue : wholeClamped(std::trunc(v), lo, hi);
}

// Nearest whole number, halves away from zero, clamped to [lo, hi]; NaN gives nanValue.
inline int32_t roundClamped(float v, int32_t lo, int32_t hi, int32_t nanValue) {
    return std::isnan(v) ? nanValue : wholeClamped(std::round(v), lo, hi);
}

// A coordinate clamped to [0, hi]; NaN lands on 0 so the later floor stays defined.
inline float clampCoordinate(float v, float hi) {
    if (!(v > 0.0f)) return 0.0f;
    return v < hi ? v : hi;
}

}  // namespace ormel
