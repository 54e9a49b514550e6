// Runs the C++-compiled GPU kernels over a whole image on the calling thread.
#pragma once

#include "engine/types.h"
#include "treatments/gpu/pixel_sort_params.h"

namespace ormel {

// One dispatch of pixelSortKernel: every pixel of the result from `input`.
Image runPixelSortPassReference(const Image& input, const Params& params);

// One dispatch of pixelSortPostKernel.
Image runPixelSortPostPassReference(const Image& input, const Params& params);

// Both passes, as the GPU runs them. An image the kernels cannot address
// comes back unchanged.
Image runPixelSortKernelsReference(const Image& input, const Params& params);

}  // namespace ormel
