// Pixel sort: streaks runs of active pixels by luminance, then softens and lights them.
#pragma once

#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {

// The whole effect in place: offered to the GPU first when renderEngine is 1, then
// pre-blur, sorting passes, post-blur and glow on the processor. Does nothing unless
// pixelSortEnable is on and pixelSortAmount is above 0.001.
void applyPixelSort(Image& image, const Settings& settings,
                    const RowBands& bands = RowBands::single());

// The same, its working picture kept in `scratch` (any contents; overwritten),
// so a caller sorting frame after frame takes no fresh pages for it.
void applyPixelSort(Image& image, const Settings& settings, const RowBands& bands, Image& scratch);

// One sorting pass along rows (vertical false) or columns (vertical true).
void applyPixelSortAxis(Image& image, const Settings& settings, bool vertical,
                        const RowBands& bands = RowBands::single());

}  // namespace ormel
