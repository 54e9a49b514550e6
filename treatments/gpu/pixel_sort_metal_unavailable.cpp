#include "treatments/gpu/pixel_sort_metal.h"

namespace ormel {

// Built where Metal does not exist: always declines.
bool applyPixelSortMetal(Image&, const Settings&) { return false; }

}  // namespace ormel
