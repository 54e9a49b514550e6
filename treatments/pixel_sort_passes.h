// The sorting passes as the whole effect runs them.
#pragma once

#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {

// The softening before the sort and the pass along rows in one sweep: each row
// is first moved toward the same row of `blurred` by t (as softenPixels does),
// then sorted as applyPixelSortAxis sorts rows.
void softenThenSortRows(Image& image, const Image& blurred, float t, const Settings& settings,
                        const RowBands& bands);

}  // namespace ormel
