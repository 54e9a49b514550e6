// Small picture builders shared by the engine tests.
#pragma once

#include <array>
#include <cstdint>

#include "engine/types.h"

namespace ormel {
namespace testing_images {

inline const Pixel kRed{1.0f, 0.0f, 0.0f, 1.0f};
inline const Pixel kBlack{0.0f, 0.0f, 0.0f, 1.0f};

// Half-open rectangle [x0, x1) x [y0, y1), clipped to the image.
inline void fillRect(Image& image, int32_t x0, int32_t y0, int32_t x1, int32_t y1, Pixel colour) {
    for (int32_t y = y0 < 0 ? 0 : y0; y < y1 && y < image.height; ++y) {
        for (int32_t x = x0 < 0 ? 0 : x0; x < x1 && x < image.width; ++x) {
            image.at(x, y) = colour;
        }
    }
}

// A blob's box as {minX, minY, maxX, maxY}.
using Box = std::array<int32_t, 4>;
inline Box boxOf(const Blob& b) { return {b.minX, b.minY, b.maxX, b.maxY}; }

// Red squares keyed exactly: no blur, no morphology, every region kept.
inline Settings plainKey() {
    Settings s;
    s.blurRadius = 0;
    s.erodeIterations = 0;
    s.dilateIterations = 0;
    s.minBlobArea = 1;
    s.maxBlobArea = 1 << 30;
    return s;
}

}  // namespace testing_images
}  // namespace ormel
