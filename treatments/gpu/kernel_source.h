// Text of pixel_sort_kernels.inc, embedded at build time for the run-time
// compilers (Metal, OpenCL). It needs a back end's prelude in front.
#pragma once

namespace ormel {

extern const char kPixelSortKernelSource[];

// Text of pixel_sort_metal_prelude.inc: the Metal back end's prelude.
extern const char kPixelSortMetalPrelude[];

}  // namespace ormel
