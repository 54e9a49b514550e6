// The pixel sort's softening: pixels moved toward a blurred copy of themselves.
#pragma once

#include <cstddef>

#include "engine/types.h"

namespace ormel {

// out[i] = pixels[i] moved toward blurred[i] by t (0 <= t <= 1), all four
// channels: pixel * (1 - t) + blurred * t, the pixel's share kept where both
// shares are NaN. out may be pixels itself.
void softenPixels(const Pixel* pixels, const Pixel* blurred, Pixel* out, size_t count, float t);

}  // namespace ormel
