// GPU hand-off of the pixel sort.
#pragma once

#include "engine/types.h"

namespace ormel {

// Offers the whole pixel sort (sorting, blur and glow) to a GPU. True means the
// image now holds the finished effect; false leaves it untouched for the processor path.
bool applyPixelSortGpu(Image& image, const Settings& settings);

}  // namespace ormel
