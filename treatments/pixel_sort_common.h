// Luminance and activity rules shared by the sorting passes and the glow.
#pragma once

#include "engine/types.h"

namespace ormel {

// Grouped as (r + g) + b in single precision, the order every sort key relies on.
inline float sortLuminance(const Pixel& p) { return (0.2126f * p.r + 0.7152f * p.g) + 0.0722f * p.b; }

// On the overlay layer (scope 0) opacity decides what is active; elsewhere brightness.
inline float sortActivity(const Pixel& p, int32_t scope) { return scope == 0 ? p.a : sortLuminance(p); }

}  // namespace ormel
