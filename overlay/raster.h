// Anti-aliased drawing primitives every overlay mark is made of: a filled
// disk, a dashed thick segment, a segment with glow halos and a rectangle
// outline. Positions and sizes are float image pixels; pixel (x, y) has its
// centre at (x + 0.5, y + 0.5). Each routine visits only its own clipped
// bounding box and allocates nothing.
#pragma once

#include "engine/types.h"
#include "overlay/canvas.h"

namespace ormel {

// Filled disk whose edge ramps from full coverage at radius - 0.25 to none at
// radius + 0.75. Nothing is drawn when radius or opacity is not positive.
void drawDisk(Canvas canvas, Vec2 centre, float radius, Pixel colour, float opacity);

// Segment of full thickness `width` with semicircular caps. When dash > 1,
// dashes and gaps of `dash` pixels alternate, measured from `a`. Segments
// shorter than 0.001 px become a disk of radius width / 2 at `a`.
void drawLineCore(Canvas canvas, Vec2 a, Vec2 b, float width, Pixel colour, float opacity,
                  float dash);

// drawLineCore preceded, when glowAmount > 0, by two wide faint halos.
void drawLine(Canvas canvas, Vec2 a, Vec2 b, float width, Pixel colour, float opacity, float dash,
              float glowAmount);

// Outline of four drawLine strokes (top, right, bottom, left), each restarting
// the dash phase; dash and glow come from settings.dashLength and
// settings.glowAmount.
void drawRect(Canvas canvas, float left, float top, float right, float bottom, float width,
              Pixel colour, float opacity, const Settings& settings);

}  // namespace ormel
