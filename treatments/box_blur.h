// Separable box blur used by the pixel sort's softening and glow steps.
#pragma once

#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {

// A blurred copy: a horizontal then a vertical pass, each the plain mean of the
// 2r + 1 pixels centred on the target with edge pixels repeated, r = min(radius, 24).
// A radius of 0 or less, or an empty image, gives an unchanged copy.
Image blurredImage(const Image& image, int radius, const RowBands& bands = RowBands::single());

// The same into `out` (which must not be `image`), reusing the memory it holds:
// callers that blur several times a frame take fresh pages only once.
void blurredImageInto(const Image& image, int radius, Image& out, const RowBands& bands = RowBands::single());

}  // namespace ormel
