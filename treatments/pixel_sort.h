// Pixel sort: streaks runs of active pixels by luminance, then softens and lights them.
#pragma once

#include "engine/row_bands.h"
#include "engine/types.h"
#include "treatments/box_blur.h"
#include "treatments/clear_map.h"

namespace ormel {

// The whole effect in place: offered to the GPU first when renderEngine is Gpu, then
// pre-blur, sorting passes, post-blur and glow on the processor. Does nothing unless
// pixelSortEnable is on and pixelSortAmount is above 0.001.
void applyPixelSort(Image& image, const Settings& settings,
                    const RowBands& bands = RowBands::single());

// Working memory of the effect, kept by a caller sorting frame after frame so
// that it takes no fresh pages; every frame overwrites what it uses.
struct PixelSortScratch {
    BlurScratch blur;
    ClearMap picture;  // what is known clear in the image being sorted
};
void applyPixelSort(Image& image, const Settings& settings, const RowBands& bands, PixelSortScratch& scratch);

// One sorting pass along rows (vertical false) or columns (vertical true).
void applyPixelSortAxis(Image& image, const Settings& settings, bool vertical,
                        const RowBands& bands = RowBands::single());

// The same, passing over what `clear` (sized for the image) marks clear: such
// pixels are never sorted, and stay clear.
void applyPixelSortAxis(Image& image, const Settings& settings, bool vertical, const RowBands& bands,
                        const ClearMap& clear);

}  // namespace ormel
