// Keys the pixels near the target colour and collects 8-connected regions.
#pragma once

#include <vector>

#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {

// Regions of `image` near settings.targetColor, largest first (equal areas by
// smaller centre y, then smaller centre x), at most settings.maxObjects of them.
// When maskOut is given it receives the cleaned 0/1 mask, one entry per pixel
// (empty for an empty image). Pixels whose luminance is NaN never match the
// colour (so an inverted selection keeps them).
std::vector<Blob> detectBlobs(const Image& image, const Settings& settings,
                              std::vector<float>* maskOut = nullptr,
                              const RowBands& bands = RowBands::single());

}  // namespace ormel
