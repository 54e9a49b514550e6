// Values held to their parameter's declared range. Hosts do not all hold a
// value to the range they were given, expressions can leave it, and preset
// files are written by hand: whatever arrives is held here first.
#pragma once

#include <array>

#include "catalogue/param_catalogue.h"

namespace ormel {

// Doubles and integers to [minimum, maximum], choices to their options,
// booleans to 0 or 1; NaN becomes the default. A value inside the range
// comes back with the same bits.
double heldToRange(const ParamSpec& spec, double value);

// Each component to the colour range [0, 1]; NaN becomes the default's.
std::array<double, 3> heldToRange(const ParamSpec& spec, const std::array<double, 3>& rgb);

}  // namespace ormel
