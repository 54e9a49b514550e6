// Where one drawing call may change pixels: the rows [rowBegin, rowEnd) of an
// image. Drawing the overlay in bands gives each band a canvas of its own rows;
// every mark clips itself to them, so each pixel gets the same blends in the
// same order as when the whole image is drawn at once.
#pragma once

#include <algorithm>
#include <cstdint>

#include "engine/row_bands.h"
#include "engine/types.h"
#include "overlay/safe_int.h"

namespace ormel {

struct Canvas {
    Image& image;
    int32_t rowBegin;
    int32_t rowEnd;

    // Every row of the image: what drawing on a plain image means.
    Canvas(Image& whole) : image(whole), rowBegin(0), rowEnd(whole.height) {}
    Canvas(Image& whole, Band rows)
        : image(whole), rowBegin(std::max(rows.begin, 0)), rowEnd(std::min(rows.end, whole.height)) {}
};

// clipRange for rows: [first, last] clipped to the image and to the canvas's rows.
inline bool clipRows(float first, float last, const Canvas& canvas, int32_t& lo, int32_t& hi) {
    if (!clipRange(first, last, canvas.image.height, lo, hi)) return false;
    lo = std::max(lo, canvas.rowBegin);
    hi = std::min(hi, canvas.rowEnd - 1);
    return lo <= hi;
}

}  // namespace ormel
