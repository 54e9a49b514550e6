// The last step of the ASCII overlay mode: the character layer laid over the
// picture, a row strip at a time.
#pragma once

#include <cstddef>

#include "engine/types.h"

namespace ormel {

// out[i] = blendOver(out[i], layer[i], a) for count pixels, a already in [0, 1].
void blendLayerOver(Pixel* out, const Pixel* layer, size_t count, float a);

}  // namespace ormel
