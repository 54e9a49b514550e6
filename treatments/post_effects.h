// The screen treatment chain run over the composited frame.
#pragma once

#include "engine/picture_rows.h"
#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {

// Which stages of the chain run. The pipeline leaves the radial blur out when
// the overlay, on a layer of its own, has had it already.
struct PostStages {
    bool radialBlur = true;
};

// In order: lens distortion and fisheye, radial blur, glitch slices, chromatic
// aberration, the per-pixel pass (always on) and the ASCII rendering. In place;
// an empty image is left as it is.
void applyPostEffects(Image& image, const Settings& settings,
                      const RowBands& bands = RowBands::single(), PostStages stages = {});

// The same chain with the finished picture written to `out`, every pixel of
// it, and `image` left holding pixels of no meaning. Nothing happens unless
// `out` fits `image`.
void applyPostEffectsInto(Image& image, const Settings& settings, const RowBands& bands, const PictureRows& out,
                          PostStages stages = {});

}  // namespace ormel
