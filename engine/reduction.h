// Detection on a reduced picture: how much the settings ask to reduce, which
// source pixel each reduced pixel takes, and the settings in reduced pixels.
// Callers that hold frames in their own memory reduce them with the same
// positions and get the same bits as downsampleNearest.
#pragma once

#include <cstdint>

#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {

// The reduction detection works at: 1 (full resolution) when
// settings.detectionScale is below 2, otherwise detectionScale up to 16.
int32_t detectionFactor(const Settings& settings);

// Width or height of a side of `size` pixels reduced by `factor` (at least 1).
int32_t reducedExtent(int32_t size, int32_t factor);

// The source column (or row) that reduced column (or row) `i` takes: one
// pixel near the middle of each factor-wide cell, kept inside the picture.
int32_t nearestSourceIndex(int32_t i, int32_t factor, int32_t size);

// One source pixel per factor x factor cell, no filtering. An unusable image
// is returned as it is.
Image downsampleNearest(const Image& image, int32_t factor);
// The same into `out` (its memory reused), the reduced rows split over `bands`.
void downsampleNearestInto(const Image& image, int32_t factor, Image& out, const RowBands& bands);

// The settings detection and tracking use on a picture reduced by `factor`:
// blur radius, area bounds and tracking distance in reduced pixels. The
// factor is clamped to [1, 16].
Settings reducedSettings(const Settings& settings, int32_t factor);

// The settings detection runs with at detectionFactor(settings): the
// settings themselves at full resolution, reducedSettings otherwise.
Settings detectionSettings(const Settings& settings);

}  // namespace ormel
