// The picture a user chooses `--track N` from: every persistent track's path
// over one frame of the footage, each in its own colour with its number at
// its start, drawn with the overlay's own strokes and bitmap text. Solid
// where the object was seen in consecutive frames, dashed where it was in a
// merge or missed.
#pragma once

#include "cli/track_formats.h"
#include "engine/types.h"

namespace varnok {

// `frame` is the picture underneath (top row first, like the positions).
ormel::Image drawTrackPaths(const ormel::Image& frame, const TrackExport& data);

// A colour of its own for track `number`: hues spread by the golden ratio.
ormel::Pixel trackColour(int number);

}  // namespace varnok
