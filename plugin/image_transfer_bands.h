// readHostImage and writeHostImage with the rows copied in bands, on the
// caller's threads.
#pragma once

#include "engine/row_bands.h"
#include "plugin/image_transfer.h"

namespace ormel {

// Same result as readHostImage(src).
Image readHostImage(const HostImageAccess& src, const RowBands& bands);

// Same result as readHostImageInto(src, out), reusing the memory `out` holds.
void readHostImageInto(const HostImageAccess& src, Image& out, const RowBands& bands);

// Same result as readHostImageReduced(src, factor), into `out`, reusing the
// memory it holds.
void readHostImageReducedInto(const HostImageAccess& src, int32_t factor, Image& out, const RowBands& bands);

// Same result as writeHostImage(image, dst).
void writeHostImage(const Image& image, const HostImageAccess& dst, const RowBands& bands);

}  // namespace ormel
