// What is known to be empty in an image: stretches of 64 pixels (counted from
// the start of each row) holding +0 in every channel. Most of an overlay layer
// is empty, and passes that know where need not read or write it there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/types.h"

namespace ormel {

constexpr int32_t kClearStretch = 64;

// A stretch marked clear holds only +0; one not marked may hold anything.
struct ClearMap {
    int32_t perRow = 0;           // stretches per row
    std::vector<uint8_t> clear;   // row by row, 1 where known clear

    bool isClear(int32_t y, int32_t s) const {
        return clear[static_cast<size_t>(y) * static_cast<size_t>(perRow) + static_cast<size_t>(s)] != 0;
    }
    uint8_t* row(int32_t y) { return &clear[static_cast<size_t>(y) * static_cast<size_t>(perRow)]; }
    const uint8_t* row(int32_t y) const { return &clear[static_cast<size_t>(y) * static_cast<size_t>(perRow)]; }
};

int32_t stretchesIn(int32_t width);

// Sized for `image` with nothing known, reusing the map's memory.
void resetClearMap(ClearMap& map, const Image& image);

// Whether pixels [0, n) are all +0 (every bit clear).
bool allZeroBits(const Pixel* p, size_t n);

// Marks anew the stretches of row y that [x, x + n) covers, after they were
// written; x is where a stretch starts and the span ends where one does or at
// the row's end.
void remarkStretches(ClearMap& map, const Image& image, int32_t y, int32_t x, int32_t n);

}  // namespace ormel
