// The one stateless pseudo-random function shared by the overlay and the treatments.
#pragma once

#include <cstdint>

namespace ormel {

// Four integers to a float in [0, 1). Inputs are taken as 32-bit patterns and
// all arithmetic wraps, so seed + constant sums may overflow harmlessly.
inline float hash01(int32_t p, int32_t q, int32_t r, int32_t s) {
    uint32_t k = static_cast<uint32_t>(p) * 0x165667B1u ^ static_cast<uint32_t>(q) * 0x27D4EB2Fu ^
                 static_cast<uint32_t>(r) * 0x55FDC781u ^ static_cast<uint32_t>(s);
    k ^= k >> 16;
    k *= 0x7FEB352Du;
    k ^= k >> 15;
    k *= 0x846CA68Bu;
    k ^= k >> 16;
    // Through int32_t: the same value (below 2^24), and a conversion vector units have.
    return static_cast<float>(static_cast<int32_t>(k & 0xFFFFFFu)) * (1.0f / 16777216.0f);
}

// Seed plus a per-use constant, wrapping like the hash's own arithmetic.
inline int32_t seedPlus(int32_t seed, int32_t constant) {
    return static_cast<int32_t>(static_cast<uint32_t>(seed) + static_cast<uint32_t>(constant));
}

}  // namespace ormel
