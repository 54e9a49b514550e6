// Small helpers shared by the overlay tests.
#pragma once

#include <cstdint>

#include "engine/types.h"

namespace ormel {
namespace testing_support {

inline bool samePixels(const Image& x, const Image& y) {
    if (x.width != y.width || x.height != y.height || x.pixels.size() != y.pixels.size()) return false;
    for (size_t i = 0; i < x.pixels.size(); ++i) {
        const Pixel& p = x.pixels[i];
        const Pixel& q = y.pixels[i];
        if (p.r != q.r || p.g != q.g || p.b != q.b || p.a != q.a) return false;
    }
    return true;
}

// A grey ramp with a few transparent pixels, so blends over it are not all alike.
inline Image ramp(int32_t w, int32_t h) {
    Image img(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            img.at(x, y) = Pixel{x / float(w), y / float(h), 0.3f, (x + y) % 3 == 0 ? 0.0f : 1.0f};
    return img;
}

// A track at (x, y) with a square region of side 2 * half round it.
inline Track makeTrack(int32_t id, float x, float y, int32_t area = 100, int32_t half = 5) {
    Track t;
    t.id = id;
    t.blob.id = id;
    t.blob.area = area;
    t.blob.center = {x, y};
    // Broken centres (NaN, huge) get a box at the origin.
    auto whole = [](float v) { return v > -1e6f && v < 1e6f ? static_cast<int32_t>(v) : 0; };
    t.blob.minX = whole(x) - half;
    t.blob.maxX = whole(x) + half;
    t.blob.minY = whole(y) - half;
    t.blob.maxY = whole(y) + half;
    t.trail = {{x, y}};
    return t;
}

// Settings with every layer and the glow off, to switch on one at a time.
inline Settings bareSettings() {
    Settings s;
    s.drawPoints = s.drawBoxes = s.drawLines = s.drawTrails = s.drawLabels = false;
    s.glowAmount = 0.0f;
    return s;
}

}  // namespace testing_support
}  // namespace ormel
