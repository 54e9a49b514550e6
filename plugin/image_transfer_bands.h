// readHostImage and writeHostImage with the rows copied in bands, on the
// caller's threads.
#pragma once

#include "engine/picture_rows.h"
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

// The host image's rows for the engine to write into directly, engine row y
// being host row y2 - 1 - y; empty (first is null) when the host gives no
// data pointer, a layout other than float RGBA, rows that overlap, or
// addresses not aligned to a float, which only the copying routines handle.
PictureRows hostPictureRows(const HostImageAccess& dst);

// Same result as writeHostImage(image, dst).
void writeHostImage(const Image& image, const HostImageAccess& dst, const RowBands& bands);

}  // namespace ormel
