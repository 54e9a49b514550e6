// Picture builders and comparisons shared by the treatment tests.
#pragma once

#include <cmath>
#include <cstring>

#include "engine/types.h"
#include "overlay/hash.h"

namespace ormel::testing {

// Deterministic varied picture, colours in [0, 1), opaque.
inline Image patternImage(int32_t width, int32_t height, int32_t salt = 0) {
    Image image(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            image.at(x, y) = Pixel{hash01(x, y, salt, 1), hash01(x, y, salt, 2), hash01(x, y, salt, 3), 1.0f};
    return image;
}

// Bitwise, so NaN payloads and signed zeros count too.
inline bool samePixel(const Pixel& a, const Pixel& b) { return std::memcmp(&a, &b, sizeof(Pixel)) == 0; }

inline bool sameImage(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size()) return false;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        if (!samePixel(a.pixels[i], b.pixels[i])) return false;
    return true;
}

inline bool allFinite(const Image& image) {
    for (const Pixel& p : image.pixels)
        if (!std::isfinite(p.r) || !std::isfinite(p.g) || !std::isfinite(p.b) || !std::isfinite(p.a)) return false;
    return true;
}

// Every treatment off and the processor engine, so a test switches on only what it probes.
inline Settings quietSettings() {
    Settings s;
    s.renderEngine = ormel::RenderEngine::Processor;
    return s;
}

}  // namespace ormel::testing
