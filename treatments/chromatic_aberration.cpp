#include "treatments/chromatic_aberration.h"

#include "engine/image_checks.h"
#include "treatments/safe_convert.h"

namespace ormel {

void applyChromaticAberration(Image& image, const Settings& settings) {
    const float amount = settings.chromaticAberration;
    if (!isUsableImage(image) || !(amount > 0.01f)) return;

    const Image copy = image;
    // Offsets beyond the width all read the edge column, so the clamp loses nothing.
    const int32_t d = roundClamped(amount, 1, image.width, 1);
    const int32_t last = image.width - 1;
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            const int32_t redX = x + d > last ? last : x + d;
            const int32_t blueX = x - d < 0 ? 0 : x - d;
            Pixel& p = image.at(x, y);
            p.r = copy.at(redX, y).r;
            p.b = copy.at(blueX, y).b;
            p.g = copy.at(x, y).g;
            p.a = copy.at(x, y).a;
        }
    }
}

}  // namespace ormel
