// Shared pieces of the stress tests: the bundle path, a moving test clip, and
// renders of a list of parameter settings through one fresh instance.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/ofx_host.h"

namespace varnok_stress {

// A dark frame with red squares that drift with time: detection, tracking
// and the overlay all have work at every frame.
inline ofxhost::FloatImage movingSquares(int w, int h, double t) {
    ofxhost::FloatImage img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float* p = img.pixel(x, y);
            p[0] = 0.05f + 0.1f * static_cast<float>(x) / static_cast<float>(w);
            p[1] = 0.08f;
            p[2] = 0.1f + 0.05f * static_cast<float>(y) / static_cast<float>(h);
            p[3] = 1.0f;
        }
    const int shift = static_cast<int>(std::lround(std::fmod(t, 40.0) * 0.5));
    const int squares[3][2] = {{w / 6, h / 4}, {w / 2, h / 2}, {(2 * w) / 3, (2 * h) / 3}};
    for (const auto& sq : squares)
        for (int dy = 0; dy < 6; ++dy)
            for (int dx = 0; dx < 6; ++dx) {
                const int x = sq[0] + dx + shift, y = sq[1] + dy;
                if (x < 0 || x >= w || y < 0 || y >= h) continue;
                float* p = img.pixel(x, y);
                p[0] = 0.95f;
                p[1] = 0.05f;
                p[2] = 0.04f;
            }
    return img;
}

using Setting = std::pair<std::string, ofxhost::ParamValue>;

// Feeds the moving clip to an instance of the given size.
inline void feedClip(ofxhost::Instance& inst, int w, int h, double first, double last) {
    inst.setFrameProvider("Source", [w, h](double t, ofxhost::FloatImage& out) {
        out = movingSquares(w, h, t);
        return true;
    });
    inst.setFrameRange(first, last);
    inst.setFrameRate(24);
}

inline bool sameBits(const ofxhost::FloatImage& a, const ofxhost::FloatImage& b) {
    return a.width == b.width && a.height == b.height && a.rgba.size() == b.rgba.size() &&
           std::memcmp(a.rgba.data(), b.rgba.data(), a.rgba.size() * sizeof(float)) == 0;
}

}  // namespace varnok_stress
