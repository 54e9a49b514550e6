#include "treatments/radial_blur.h"

#include <cfloat>
#include <vector>

#include "engine/image_checks.h"
#include "treatments/bilinear.h"
#include "treatments/safe_convert.h"

namespace ormel {

void applyRadialBlur(Image& image, const Settings& settings, const RowBands& bands) {
    // Written as "not above" so a NaN amount skips the stage instead of running it.
    float amount = settings.radialBlur;
    if (!(amount > 0.001f) || !isUsableImage(image)) return;
    // An infinite amount would turn 0 * strength into NaN for the first sample.
    if (amount > FLT_MAX) amount = FLT_MAX;

    const Image copy = image;
    const int32_t extra = truncClamped(10.0f * amount, 0, 9, 0);
    const int32_t samples = extra + 3;
    const float strength = 0.085f * amount;
    const float cx = static_cast<float>(image.width - 1) / 2.0f;
    const float cy = static_cast<float>(image.height - 1) / 2.0f;

    float scales[12];
    for (int32_t k = 0; k < samples; ++k) {
        scales[k] = 1.0f - (static_cast<float>(k) / static_cast<float>(samples - 1)) * strength;
    }

    const double count = static_cast<double>(samples);
    bands.forEachBand(image.height, [&](Band band) {
    for (int32_t y = band.begin; y < band.end; ++y) {
        const float dy = static_cast<float>(y) - cy;
        for (int32_t x = 0; x < image.width; ++x) {
            const float dx = static_cast<float>(x) - cx;
            // Summed in double so a run of equal samples averages back to exactly their value.
            double r = 0.0, g = 0.0, b = 0.0, a = 0.0;
            for (int32_t k = 0; k < samples; ++k) {
                const Pixel s = bilinearSample(copy, cx + scales[k] * dx, cy + scales[k] * dy);
                r += s.r;
                g += s.g;
                b += s.b;
                a += s.a;
            }
            image.at(x, y) = Pixel{static_cast<float>(r / count), static_cast<float>(g / count),
                                   static_cast<float>(b / count), static_cast<float>(a / count)};
        }
    }
    });
}

}  // namespace ormel
