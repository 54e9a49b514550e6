// Pictures and settings shared by the GPU pixel sort tests.
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/types.h"
#include "overlay/hash.h"

namespace ormel {
namespace testing_gpu {

// Gradients, hashed noise, fully transparent patches and a few out-of-range
// values: something in every branch of the kernels.
inline Image variedPicture(int32_t width, int32_t height) {
    Image image(width, height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            Pixel& p = image.at(x, y);
            const float n = hash01(x, y, 7, 99);
            p.r = static_cast<float>(x) / static_cast<float>(width) * 0.8f + 0.2f * n;
            p.g = static_cast<float>(y) / static_cast<float>(height) * 0.6f + 0.4f * hash01(x, y, 8, 99);
            p.b = n * n;
            p.a = hash01(x / 5, y / 3, 9, 99) < 0.3f ? 0.0f : 0.25f + 0.75f * hash01(x, y, 10, 99);
            if ((x + 3 * y) % 97 == 0) p.r = 1.7f;  // hot pixels above 1
        }
    }
    return image;
}

// The look "Pixel Sort Rouge" as far as the pixel sort reads it.
inline Settings rougeSettings() {
    Settings s;
    s.renderEngine = ormel::RenderEngine::Gpu;
    s.pixelSortEnable = true;
    s.pixelSortColor = {1.0f, 0.02f, 0.0f, 1.0f};
    s.pixelSortAmount = 0.82f;
    s.pixelSortLength = 128;
    s.pixelSortRandomAmount = 0.72f;
    s.pixelSortBlur = 0.24f;
    s.pixelSortGlow = 1.15f;
    return s;
}

inline bool sameBits(const Image& a, const Image& b) {
    return a.width == b.width && a.height == b.height && a.pixels.size() == b.pixels.size() &&
           (a.pixels.empty() || std::memcmp(a.pixels.data(), b.pixels.data(), a.pixels.size() * sizeof(Pixel)) == 0);
}

inline bool sameBits(const Pixel& a, const Pixel& b) { return std::memcmp(&a, &b, sizeof(Pixel)) == 0; }

}  // namespace testing_gpu
}  // namespace ormel
