// Separable box blur used by the pixel sort's softening and glow steps.
#pragma once

#include <functional>

#include "engine/row_bands.h"
#include "engine/types.h"
#include "treatments/clear_map.h"

namespace ormel {

// A blurred copy: a horizontal then a vertical pass, each the plain mean of the
// 2r + 1 pixels centred on the target with edge pixels repeated, r = min(radius, 24).
// A radius of 0 or less, or an empty image, gives an unchanged copy.
Image blurredImage(const Image& image, int radius, const RowBands& bands = RowBands::single());

// Where the means of a blur go: row y's means for the columns [x, x + n).
// Calls for different columns or rows may come from different threads at once.
using BlurSink = std::function<void(int y, int x, const Pixel* means, int n)>;

// Working memory of a blur, kept by callers that blur several times a frame
// so that they take fresh pages only once.
struct BlurScratch {
    Image across;           // the horizontal pass
    ClearMap acrossClear;   // where it is known clear (and was not written)
};

// The same blur, its means handed to `sink` a stretch of a row at a time
// instead of kept: each call covers whole stretches of the clear map (the
// last one of a row may be short). The sink is called for every pixel except
// where the mean is +0 and `imageClear` marks the image clear; whoever needs
// every mean starts from +0. `imageClear` describes `image` (sized for it by
// resetClearMap); the blur marks there what it finds clear. The image and its
// map are read only before the first call, so the sink may change both where
// its means lie.
void blurIntoSink(const Image& image, ClearMap& imageClear, int radius, BlurScratch& scratch, const RowBands& bands,
                  const BlurSink& sink);

}  // namespace ormel
