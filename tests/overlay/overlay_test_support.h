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

inline int32_t changedPixels(const Image& x, const Image& y) {
    int32_t n = 0;
    for (size_t i = 0; i < x.pixels.size(); ++i) {
        const Pixel& p = x.pixels[i];
        const Pixel& q = y.pixels[i];
        if (p.r != q.r || p.g != q.g || p.b != q.b || p.a != q.a) ++n;
    }
    return n;
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
    const int32_t cx = whole(x), cy = whole(y);
    t.blob.minX = cx - half;
    t.blob.maxX = cx + half;
    t.blob.minY = cy - half;
    t.blob.maxY = cy + half;
    t.trail = {{x, y}};
    return t;
}

// Settings with every layer off, to switch on one at a time.
inline Settings bareSettings() {
    Settings s;
    s.drawPoints = false;
    s.drawBoxes = false;
    s.drawLines = false;
    s.drawTrails = false;
    s.drawLabels = false;
    s.glowAmount = 0.0f;
    return s;
}

}  // namespace testing_support
}  // namespace ormel
