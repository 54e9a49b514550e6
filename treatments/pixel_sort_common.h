// Luminance and activity rules shared by the sorting passes and the glow.
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/types.h"

namespace ormel {

// Grouped as (r + g) + b in single precision, the order every sort key relies on.
inline float sortLuminance(const Pixel& p) { return (0.2126f * p.r + 0.7152f * p.g) + 0.0722f * p.b; }

// On the overlay layer opacity decides what is active; elsewhere brightness.
inline float sortActivity(const Pixel& p, SortScope scope) {
    return scope == SortScope::OverlayOnly ? p.a : sortLuminance(p);
}

// When both operands of a sum or product are NaN the processor returns the
// first one, made quiet, so which payload survives would depend on the
// operand order a compiler happens to choose. These make the choice in code,
// for the places where the order has always been the given one.
inline float quietened(float a) {
    uint32_t bits;
    std::memcpy(&bits, &a, sizeof bits);
    bits |= 0x00400000u;
    std::memcpy(&a, &bits, sizeof a);
    return a;
}
inline float sumKeepingFirst(float a, float b) { return a != a && b != b ? quietened(a) : a + b; }
inline float productKeepingFirst(float a, float b) { return a != a && b != b ? quietened(a) : a * b; }

}  // namespace ormel
