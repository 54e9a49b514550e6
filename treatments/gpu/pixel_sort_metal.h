// The GPU pixel sort through Apple's Metal.
#pragma once

#include "engine/types.h"

namespace ormel {

// True: the GPU has done the whole effect (sort, blur and glow) and the image
// holds it. False on any failure, and always on systems without Metal; the
// image is then untouched and the processor path runs.
bool applyPixelSortMetal(Image& image, const Settings& settings);

}  // namespace ormel
