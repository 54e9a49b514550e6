// The built-in 3 x 5 bitmap font: each character cell is on or off and is
// enlarged into solid scale x scale blocks, without anti-aliasing. The first
// glyph row goes to the smallest row index ("top").
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/types.h"
#include "overlay/canvas.h"

namespace ormel {

// Writes `text` with its first cell's top-left corner at (x, y). Scales below 2
// draw at 1. Each character advances 4 * scale pixels, a space 3 * scale;
// characters without a glyph draw nothing but still advance. Lower case is
// drawn as upper case. Pixels outside the image are skipped.
void drawText(Canvas canvas, int32_t x, int32_t y, std::string_view text, int32_t scale,
              Pixel colour, float opacity);

// Advance of the whole text at `scale` (normalised as drawText does): 4 * scale
// per non-space byte plus 3 * scale per space. 64-bit, as scales are unchecked.
int64_t textWidth(std::string_view text, int32_t scale);

// Height of a line of text at `scale` (normalised as drawText does): 5 * scale.
int64_t textHeight(int32_t scale);

// The five rows of a character's glyph, top first; bit 2 of each row is the
// left cell. Characters without a glyph give five zero rows.
struct Glyph {
    uint8_t rows[5];
};
Glyph glyphFor(unsigned char c);

}  // namespace ormel
