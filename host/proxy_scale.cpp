#include "host/proxy_scale.h"

#include <algorithm>
#include <cmath>

namespace ofxhost {

int proxySize(int full, double scale) {
    if (full <= 0) return 0;
    return std::max(1, static_cast<int>(std::ceil(static_cast<double>(full) * scale - 1e-9)));
}

namespace {

// The full-size pixels [*first, *last) that proxy pixel `i` covers.
void span(int i, int full, double scale, int* first, int* last) {
    *first = std::min(full - 1, static_cast<int>(std::floor(i / scale)));
    *last = std::min(full, std::max(*first + 1, static_cast<int>(std::floor((i + 1) / scale))));
}

}  // namespace

FloatImage proxyImage(const FloatImage& full, double scale) {
    if (scale == 1.0 || full.empty()) return full;
    const int w = proxySize(full.width, scale), h = proxySize(full.height, scale);
    FloatImage out(w, h);
    for (int y = 0; y < h; ++y) {
        int y0 = 0, y1 = 0;
        span(y, full.height, scale, &y0, &y1);
        for (int x = 0; x < w; ++x) {
            int x0 = 0, x1 = 0;
            span(x, full.width, scale, &x0, &x1);
            if (scale > 1.0) {
                x1 = x0 + 1;
                y1 = y0 + 1;
            }
            double sum[4] = {0, 0, 0, 0};
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx)
                    for (int c = 0; c < 4; ++c) sum[c] += full.pixel(sx, sy)[c];
            const double n = static_cast<double>(x1 - x0) * (y1 - y0);
            for (int c = 0; c < 4; ++c) out.pixel(x, y)[c] = static_cast<float>(sum[c] / n);
        }
    }
    return out;
}

}  // namespace ofxhost
