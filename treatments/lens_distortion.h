// Barrel/pincushion lens distortion and fisheye.
#pragma once

#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {

// Resamples the image through the lens model; skipped unless |lensDistortion| or
// fisheye is above 0.001.
void applyLensDistortion(Image& image, const Settings& settings,
                         const RowBands& bands = RowBands::single());

}  // namespace ormel
