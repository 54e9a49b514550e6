#include "treatments/lens_distortion.h"

#include <cfloat>
#include <cmath>

#include "engine/image_checks.h"
#include "treatments/bilinear.h"

namespace ormel {
namespace {

// Keeps the radial factor finite: an infinite factor times a zero offset would be NaN.
float finiteFactor(float f) {
    if (std::isnan(f)) return 1.0f;
    return f > FLT_MAX ? FLT_MAX : (f < -FLT_MAX ? -FLT_MAX : f);
}

}  // namespace

void applyLensDistortion(Image& image, const Settings& settings, const RowBands& bands) {
    const float lens = settings.lensDistortion;
    const float fisheye = settings.fisheye;
    if (!isUsableImage(image) || !(std::fabs(lens) > 0.001f || fisheye > 0.001f)) return;

    const Image copy = image;
    const float cx = static_cast<float>(image.width - 1) / 2.0f;
    const float cy = static_cast<float>(image.height - 1) / 2.0f;
    const float sx = cx > 0.0f ? 1.0f / cx : 1.0f;
    const float sy = cy > 0.0f ? 1.0f / cy : 1.0f;

    bands.forEachBand(image.height, [&](Band band) {
    for (int32_t y = band.begin; y < band.end; ++y) {
        const float ny = (static_cast<float>(y) - cy) * sy;
        for (int32_t x = 0; x < image.width; ++x) {
            const float nx = (static_cast<float>(x) - cx) * sx;
            const float r2 = nx * nx + ny * ny;
            // r^4 is one factor of the fisheye term, formed before it is scaled.
            const float r4 = r2 * r2;
            const float f = finiteFactor(1.0f + 0.75f * lens * r2 + 1.15f * fisheye * r4);
            // With a zero centre (one column or row) only the centre term remains.
            const float sourceX = cx > 0.0f ? cx + f * nx * cx : cx;
            const float sourceY = cy > 0.0f ? cy + f * ny * cy : cy;
            image.at(x, y) = bilinearSample(copy, sourceX, sourceY);
        }
    }
    });
}

}  // namespace ormel
