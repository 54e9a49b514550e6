#include "media/alpha_convention.h"

#include <cstddef>

namespace varnok {

void unpremultiply(ofxhost::FloatImage& image) {
    for (size_t i = 0; i + 3 < image.rgba.size(); i += 4) {
        const float a = image.rgba[i + 3];
        if (!(a > 0.0f)) continue;
        for (size_t c = 0; c < 3; ++c) image.rgba[i + c] /= a;
    }
}

void premultiply(ofxhost::FloatImage& image) {
    for (size_t i = 0; i + 3 < image.rgba.size(); i += 4) {
        const float a = image.rgba[i + 3];
        for (size_t c = 0; c < 3; ++c) image.rgba[i + c] *= a;
    }
}

}  // namespace varnok
