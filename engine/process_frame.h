// The engine's one entry point: one source frame in, one finished frame out.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {

// The settings detection and tracking use on a picture reduced by `factor`:
// blur radius, area bounds and tracking distance in reduced pixels. The
// factor is clamped to [1, 16].
Settings reducedSettings(const Settings& settings, int32_t factor);

// Detects and tracks the regions of `source` (at the resolution chosen by
// settings.detectionScale, clamped to [1, 16]), brings them back to full-frame
// pixels and builds the picture for settings.outputMode. `samples` are the
// earlier frames, oldest first. Keeps no state: the same arguments always give
// the same result. An empty source gives an empty result.
TraceResult processFrame(const Image& source, const std::vector<FrameSample>& samples, const Settings& settings);

// The same, with the frame's passes spread over `bands` (the caller's threads);
// the result has the same bits for any number of bands.
TraceResult processFrame(const Image& source, const std::vector<FrameSample>& samples, const Settings& settings,
                         const RowBands& bands);

}  // namespace ormel
