// The pixel sort's last step: bright (or opaque) parts of a blurred copy
// light the picture in the streak colour.
#pragma once

#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {

// Every pixel whose blurred counterpart is active above the glow's gate moves
// toward the streak colour, weighted by that counterpart's brightness, and
// toward full alpha. `blurred` has the image's size; `glow` is above 0.001.
void addSortGlow(Image& image, const Image& blurred, const Settings& settings, float glow, const RowBands& bands);

}  // namespace ormel
