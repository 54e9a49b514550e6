// Copying pixels between a host image and an engine Image. Kept free of the
// OpenFX layer so it can be measured and tested on plain memory.
//
// OpenFX images are bottom-up (row y1 is the bottom of the picture); engine
// images are top-down. Host row y is engine row y2 - 1 - y, in both
// directions, so whatever the engine calls the top is the top on screen.
#pragma once

#include <functional>

#include "engine/types.h"

namespace ormel {

// What the plug-in knows about one host image.
struct HostImageAccess {
    void* data = nullptr;  // address of pixel (x1, y1), the bottom-left; null when the host gives none
    int x1 = 0;            // bounds, half-open
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    int rowBytes = 0;        // bytes from one row to the one above; negative when the top is stored first
    bool floatRgba = false;  // 32-bit float RGBA, the only layout copied
    // Address of pixel (x, y) in host coordinates, or null; the per-pixel
    // fallback when there is no data pointer or no usable row stride.
    std::function<void*(int x, int y)> pixelAddress;
};

// The host image as an engine Image: engine pixel (x, y) is host pixel
// (x1 + x, y2 - 1 - y). Empty bounds or a layout other than float RGBA give
// an empty Image; pixels without an address become (0,0,0,0).
Image readHostImage(const HostImageAccess& src);
// The same into `out`, reusing the memory it holds.
void readHostImageInto(const HostImageAccess& src, Image& out);

// The host image reduced by `factor` exactly as downsampleNearest would
// reduce readHostImage's result, reading only the pixels the reduction keeps.
Image readHostImageReduced(const HostImageAccess& src, int32_t factor);

// Copies the overlap of `image` and the host image's bounds, the image's
// top-left corner at the host's top-left pixel (x1, y2 - 1); host pixels
// outside the overlap are left alone.
void writeHostImage(const Image& image, const HostImageAccess& dst);

}  // namespace ormel
