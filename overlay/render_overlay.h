// The heads-up display of one frame, drawn over a picture.
#pragma once

#include <vector>

#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {

// Draws, layer after layer: trails, connection lines with their motifs,
// boxes with captions, point effects, then per track its point and label.
// `src` is the frame's source picture, read only by the point effects.
// Keeps no state: the same arguments always give the same pixels. With
// several bands, each band of rows draws every mark clipped to its rows.
void renderOverlay(Image& out, const Image& src, const std::vector<Track>& tracks,
                   const Settings& settings, const RowBands& bands = RowBands::single());

}  // namespace ormel
