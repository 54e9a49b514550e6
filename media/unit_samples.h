// Float samples to the integer samples files and encoders take: clamped to
// 0..1 (NaN to 0), scaled, then rounded half up. The vector and plain paths
// give the same integers for every float.
#pragma once

#include <cstddef>
#include <cstdint>

namespace varnok {

// The product is never negative and far below 2^52, so adding a half in
// double is exact and truncation is the rounding.
inline unsigned roundUnitSample(float v, float scale) {
    const float u = v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
    return static_cast<unsigned>(static_cast<double>(u * scale) + 0.5);
}

// `samples` floats to 16-bit samples, one for one.
void packUnit16(const float* in, size_t samples, uint16_t* out);
// `pixels` RGBA pixels to 8-bit BGRA, the order FFV1 stores.
void packBgra8(const float* rgba, size_t pixels, uint8_t* out);

}  // namespace varnok
