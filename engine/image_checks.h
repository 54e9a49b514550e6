// Guards for images that arrive from outside the engine.
#pragma once

#include <cstddef>

#include "engine/types.h"

namespace ormel {

// Usable: at least one pixel and a pixel array that matches the size. Anything
// else is treated as empty instead of being read out of bounds.
inline bool isUsableImage(const Image& image) {
    return !image.empty() &&
           image.pixels.size() == static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
}

}  // namespace ormel
