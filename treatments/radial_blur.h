// Zoom blur toward the image centre.
#pragma once

#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {

// Blurs the image in place by settings.radialBlur; does nothing at 0.001 or below.
void applyRadialBlur(Image& image, const Settings& settings,
                     const RowBands& bands = RowBands::single());

}  // namespace ormel
