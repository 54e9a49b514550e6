// The always-on per-pixel pass: scan lines, vignette, noise, VHS flicker, inversion.
#pragma once

#include "engine/picture_rows.h"
#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {

// Works in place. Even with every amount at 0 it clamps r, g and b into [0, 1];
// alpha is never touched.
void applyScreenPass(Image& image, const Settings& settings,
                     const RowBands& bands = RowBands::single());

// The same pass with each finished row written to `out` instead, every pixel
// of it; `image` is left as it was. Nothing is written unless `out` fits it.
void applyScreenPassInto(const Image& image, const Settings& settings, const RowBands& bands,
                         const PictureRows& out);

}  // namespace ormel
