#include "treatments/gpu/pixel_sort_gpu.h"

namespace ormel {

// No GPU back end is built yet: always decline so the processor path runs.
bool applyPixelSortGpu(Image&, const Settings&) { return false; }

}  // namespace ormel
