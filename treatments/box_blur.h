// Separable box blur used by the pixel sort's softening and glow steps.
#pragma once

#include <functional>

#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {

// A blurred copy: a horizontal then a vertical pass, each the plain mean of the
// 2r + 1 pixels centred on the target with edge pixels repeated, r = min(radius, 24).
// A radius of 0 or less, or an empty image, gives an unchanged copy.
Image blurredImage(const Image& image, int radius, const RowBands& bands = RowBands::single());

// Where the means of a blur go: row y's means for the columns [x, x + n).
// Calls for different columns or rows may come from different threads at once.
using BlurSink = std::function<void(int y, int x, const Pixel* means, int n)>;

// The same blur, its means handed to `sink` a row (or a band of columns of a
// row) at a time instead of kept, every pixel's mean exactly once. The image
// is read only before the first call, so the sink may change it (each call
// only where its means lie). `across` is working memory: callers that blur
// several times a frame take fresh pages only once.
void blurIntoSink(const Image& image, int radius, Image& across, const RowBands& bands, const BlurSink& sink);

}  // namespace ormel
