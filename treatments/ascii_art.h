// ASCII-art rendering: each cell of the picture becomes one character of the bitmap font.
#pragma once

#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {

// Overlay lays light characters over the darkened picture, Replace replaces the picture
// with characters in the cells' own colours; skipped when asciiMode is Off or asciiAmount
// is at or below 0.001.
void applyAsciiArt(Image& image, const Settings& settings,
                   const RowBands& bands = RowBands::single());

// Whether applyAsciiArt changes anything at these settings.
bool asciiArtRuns(const Settings& settings);

}  // namespace ormel
