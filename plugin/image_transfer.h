// Copying pixels between a host image and an engine Image. Kept free of the
// OpenFX layer so it can be measured and tested on plain memory.
#pragma once

#include <functional>

#include "engine/types.h"

namespace ormel {

// What the plug-in knows about one host image.
struct HostImageAccess {
    void* data = nullptr;  // address of pixel (x1, y1); null when the host gives none
    int x1 = 0;            // bounds, half-open
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    int rowBytes = 0;        // may be 0 or negative
    bool floatRgba = false;  // 32-bit float RGBA, the only layout copied
    // Address of pixel (x, y) in host coordinates, or null; the per-pixel
    // fallback when there is no data pointer or no positive row stride.
    std::function<void*(int x, int y)> pixelAddress;
};

// The host image as an engine Image: engine pixel (x, y) is host pixel
// (x1 + x, y1 + y), nothing flipped. Empty bounds or a layout other than
// float RGBA give an empty Image; pixels without an address become (0,0,0,0).
Image readHostImage(const HostImageAccess& src);

// Copies the overlap of `image` and the host image's bounds, starting at
// (x1, y1); host pixels outside the overlap are left alone.
void writeHostImage(const Image& image, const HostImageAccess& dst);

}  // namespace ormel
