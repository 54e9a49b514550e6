#include "treatments/clear_map.h"

#include <algorithm>
#include <cstring>

namespace ormel {

int32_t stretchesIn(int32_t width) { return (width + kClearStretch - 1) / kClearStretch; }

void resetClearMap(ClearMap& map, const Image& image) {
    map.perRow = stretchesIn(image.width);
    map.clear.assign(static_cast<size_t>(map.perRow) * static_cast<size_t>(std::max(image.height, 0)), 0);
}

bool allZeroBits(const Pixel* p, size_t n) {
    uint32_t any = 0;
    for (size_t i = 0; i < n; ++i) {
        uint32_t bits[4];
        std::memcpy(bits, &p[i], sizeof bits);
        any |= bits[0] | bits[1] | bits[2] | bits[3];
    }
    return any == 0;
}

void remarkStretches(ClearMap& map, const Image& image, int32_t y, int32_t x, int32_t n) {
    const Pixel* row = &image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width)];
    uint8_t* marks = map.row(y);
    for (int32_t from = x; from < x + n; from += kClearStretch) {
        const int32_t count = std::min(kClearStretch, image.width - from);
        marks[from / kClearStretch] = allZeroBits(row + from, static_cast<size_t>(count));
    }
}

}  // namespace ormel
