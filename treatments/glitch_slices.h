// Horizontal glitch slices: bands of rows shifted sideways.
#pragma once

#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {

// Shifts pseudo-random bands of rows by glitchAmount; skipped at 0.001 or below.
// Every slice reads the picture as it was before the first slice.
void applyGlitchSlices(Image& image, const Settings& settings,
                       const RowBands& bands = RowBands::single());

}  // namespace ormel
