// The pixel sort's last step: bright (or opaque) parts of a blurred copy
// light the picture in the streak colour.
#pragma once

#include <cstddef>

#include "engine/types.h"

namespace ormel {

// The glow's rules, worked out once per frame.
struct SortGlow {
    float gate;
    float strength;  // 0.65 times the glow, capped at 1
    SortScope scope;
    Pixel colour;
    bool finiteColour;
};
SortGlow sortGlow(const Settings& settings, float glow);

// Every pixel whose blurred counterpart is active above the glow's gate moves
// toward the streak colour, weighted by that counterpart's brightness, and
// toward full alpha. `glow` (given to sortGlow) is above 0.001.
void addSortGlow(Pixel* pixels, const Pixel* blurred, size_t count, const SortGlow& g);

}  // namespace ormel
