// Lays a separately drawn overlay layer over the picture.
#pragma once

#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {

// The layer holds colour already multiplied by its coverage (what the over
// blend leaves on a transparent image); it is divided back out before mixing.
// Does nothing unless both images have the same positive size. Layer pixels
// with alpha at or below 0.0001 (or NaN) leave the picture unchanged.
void compositeLayer(Image& picture, const Image& layer,
                    const RowBands& bands = RowBands::single());

}  // namespace ormel
