#include "pipeline/composite_layer.h"

#include <algorithm>

#include "engine/image_checks.h"
#include "engine/pixel_ops.h"

namespace ormel {

void compositeLayer(Image& picture, const Image& layer, const RowBands& bands) {
    if (!isUsableImage(picture) || !isUsableImage(layer) || picture.width != layer.width ||
        picture.height != layer.height) {
        return;
    }
    const size_t width = static_cast<size_t>(picture.width);
    bands.forEachBand(picture.height, [&](Band band) {
    for (size_t i = band.begin * width; i < band.end * width; ++i) {
        const Pixel& l = layer.pixels[i];
        if (!(l.a > 0.0001f)) {
            continue;
        }
        const float k = std::min(l.a, 1.0f);
        const float keep = 1.0f - k;
        const float divisor = std::max(l.a, 0.0001f);
        Pixel& d = picture.pixels[i];
        d.r = d.r * keep + clamp01(l.r / divisor) * k;
        d.g = d.g * keep + clamp01(l.g / divisor) * k;
        d.b = d.b * keep + clamp01(l.b / divisor) * k;
        d.a = clamp01(d.a * keep + k);
    }
    });
}

}  // namespace ormel
