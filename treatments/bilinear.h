// Linear mixing and bilinear sampling shared by the resampling treatments.
#pragma once

#include <cstdint>

#include "engine/types.h"
#include "treatments/safe_convert.h"

namespace ormel {

// a + (b - a) * t on all four channels; t is not clamped here.
inline Pixel lerpPixel(const Pixel& a, const Pixel& b, float t) {
    return Pixel{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
                 a.a + (b.a - a.a) * t};
}

// a * (1 - t) + b * t on all four channels: exact at t = 0 and t = 1, so a full-strength
// mix lands exactly on b.
inline Pixel mixPixel(const Pixel& a, const Pixel& b, float t) {
    const float keep = 1.0f - t;
    return Pixel{a.r * keep + b.r * t, a.g * keep + b.g * t, a.b * keep + b.b * t, a.a * keep + b.a * t};
}

// Bilinear sample of a non-empty image at (x, y) in pixel-index space. The position
// is clamped to the image first, so edges repeat and NaN positions read column/row 0.
inline Pixel bilinearSample(const Image& image, float x, float y) {
    const float px = clampCoordinate(x, static_cast<float>(image.width - 1));
    const float py = clampCoordinate(y, static_cast<float>(image.height - 1));
    // Both are clamped to be non-negative, where truncation is the floor (and much
    // cheaper than std::floor without SSE4.1).
    const int32_t x0 = static_cast<int32_t>(px);
    const int32_t y0 = static_cast<int32_t>(py);
    const int32_t x1 = x0 + 1 < image.width ? x0 + 1 : image.width - 1;
    const int32_t y1 = y0 + 1 < image.height ? y0 + 1 : image.height - 1;
    float fx = px - static_cast<float>(x0);
    float fy = py - static_cast<float>(y0);
    fx = fx < 0.0f ? 0.0f : (fx > 1.0f ? 1.0f : fx);
    fy = fy < 0.0f ? 0.0f : (fy > 1.0f ? 1.0f : fy);
    const Pixel top = lerpPixel(image.at(x0, y0), image.at(x1, y0), fx);
    const Pixel bottom = lerpPixel(image.at(x0, y1), image.at(x1, y1), fx);
    return lerpPixel(top, bottom, fy);
}

}  // namespace ormel
