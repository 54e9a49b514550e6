// Horizontal chromatic aberration: red and blue read from opposite sides.
#pragma once

#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {

// Offsets red by +d and blue by -d columns, d = round(chromaticAberration) and at
// least 1; skipped at 0.01 or below.
void applyChromaticAberration(Image& image, const Settings& settings,
                              const RowBands& bands = RowBands::single());

}  // namespace ormel
