// The two pixel helpers every drawing routine and the compositing share.
#pragma once

#include "engine/types.h"

namespace ormel {

// NaN fails the first comparison and comes out as 1; infinities clamp to the bounds.
inline float clamp01(float x) {
    const float upper = x < 1.0f ? x : 1.0f;
    return upper > 0.0f ? upper : 0.0f;
}

// Moves base toward over by amount (clamped); alpha rises toward 1. over.a is ignored.
inline Pixel blendOver(Pixel base, Pixel over, float amount) {
    const float a = clamp01(amount);
    const float keep = 1.0f - a;
    Pixel out;
    out.r = base.r * keep + over.r * a;
    out.g = base.g * keep + over.g * a;
    out.b = base.b * keep + over.b * a;
    out.a = clamp01(base.a * keep + a);
    return out;
}

}  // namespace ormel
