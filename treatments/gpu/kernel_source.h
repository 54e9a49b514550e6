// Text of pixel_sort_kernels.inc, embedded at build time for the run-time
// compilers (Metal, OpenCL). It needs a back end's prelude in front.
#pragma once

namespace ormel {

extern const char kPixelSortKernelSource[];

}  // namespace ormel
