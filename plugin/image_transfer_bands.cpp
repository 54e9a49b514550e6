#include "plugin/image_transfer_bands.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ormel {

void writeHostImage(const Image& image, const HostImageAccess& dst, const RowBands& bands) {
    const int64_t hostH = static_cast<int64_t>(dst.y2) - dst.y1;
    const int64_t cols = std::min<int64_t>(static_cast<int64_t>(dst.x2) - dst.x1, image.width);
    const int64_t rows = std::min<int64_t>(hostH, image.height);
    const int64_t stride = dst.rowBytes < 0 ? -static_cast<int64_t>(dst.rowBytes) : dst.rowBytes;
    const size_t rowCopy = static_cast<size_t>(std::max<int64_t>(cols, 0)) * sizeof(Pixel);
    // Only whole rows at a usable stride are split; everything else (and every
    // check) is the plain routine's.
    const bool rowWise = dst.floatRgba && dst.data != nullptr && !image.empty() &&
                         image.pixels.size() == static_cast<size_t>(image.width) * static_cast<size_t>(image.height) &&
                         cols > 0 && rows > 0 && stride >= static_cast<int64_t>(rowCopy);
    if (!rowWise || rows < 2) {
        writeHostImage(image, dst);
        return;
    }
    bands.forEachBand(static_cast<int32_t>(rows), [&](Band band) {
        for (int32_t i = band.begin; i < band.end; ++i) {
            // Engine row i is host row y2 - 1 - i, counted from y1.
            auto* row = static_cast<unsigned char*>(dst.data) +
                        static_cast<std::ptrdiff_t>(hostH - 1 - i) * static_cast<std::ptrdiff_t>(dst.rowBytes);
            std::memcpy(row, static_cast<const void*>(&image.at(0, i)), rowCopy);
        }
    });
}

}  // namespace ormel
