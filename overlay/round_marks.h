// Disks and rings about one centre drawn in a single pass: each pixel gets
// the marks' blends in their order, exactly as if each mark were drawn on
// its own one after another, with its distance to the centre worked out once.
#pragma once

#include <cstdint>

#include "engine/types.h"
#include "overlay/canvas.h"

namespace ormel {

struct RoundMark {
    enum class Kind { Disk, Ring };
    Kind kind;
    float radius;   // disk radius, or the ring's radius S
    float stroke;   // ring stroke w (unused by disks)
    float opacity;
};

// A disk is drawDisk(canvas, centre, radius, colour, opacity). A ring covers
// each pixel of the square within radius + stroke + 1 of the centre by
// min(max(w / 2, 0.5) + 0.75 - |d - S|, 1), where d is the pixel centre's
// distance to the centre; unlike a disk it is drawn whatever its opacity.
void drawRoundMarks(Canvas canvas, Vec2 centre, const RoundMark* marks, int32_t count, Pixel colour);

}  // namespace ormel
