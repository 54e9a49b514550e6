#include "treatments/lens_distortion.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>

#include <gtest/gtest.h>

#include "tests/treatments/test_images.h"
#include "treatments/bilinear.h"

namespace ormel {
namespace {

float lerpf(float a, float b, float t) { return a + (b - a) * t; }

// Red channel of the bilinear sample at (X, Y), the position clamped to the image.
float redAt(const Image& image, float X, float Y) {
    X = std::clamp(X, 0.0f, static_cast<float>(image.width - 1));
    Y = std::clamp(Y, 0.0f, static_cast<float>(image.height - 1));
    const int32_t x0 = static_cast<int32_t>(std::floor(X)), y0 = static_cast<int32_t>(std::floor(Y));
    const int32_t x1 = std::min(x0 + 1, image.width - 1), y1 = std::min(y0 + 1, image.height - 1);
    const float fx = X - static_cast<float>(x0), fy = Y - static_cast<float>(y0);
    const float top = lerpf(image.at(x0, y0).r, image.at(x1, y0).r, fx);
    const float bottom = lerpf(image.at(x0, y1).r, image.at(x1, y1).r, fx);
    return lerpf(top, bottom, fy);
}

// The fisheye term is 1.15 * fisheye times r^4, with r^4 formed as r^2 * r^2 on its
// own; multiplying r^2 in twice rounds differently and moves some samples.
TEST(LensDistortionRules, FisheyeTermMultipliesByTheFourthPowerAsOneFactor) {
    const Image original = testing::patternImage(97, 61, 5);
    Settings s = testing::quietSettings();
    s.lensDistortion = 0.37f;
    s.fisheye = 0.713f;
    Image image = original;
    applyLensDistortion(image, s);

    const float cx = 48.0f, cy = 30.0f;
    int mismatches = 0;
    for (int32_t y = 0; y < original.height; ++y) {
        for (int32_t x = 0; x < original.width; ++x) {
            const float nx = (static_cast<float>(x) - cx) * (1.0f / cx);
            const float ny = (static_cast<float>(y) - cy) * (1.0f / cy);
            const float r2 = nx * nx + ny * ny;
            const float r4 = r2 * r2;
            const float f = 1.0f + 0.75f * s.lensDistortion * r2 + 1.15f * s.fisheye * r4;
            const float expected = redAt(original, cx + f * nx * cx, cy + f * ny * cy);
            mismatches += image.at(x, y).r != expected;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// Every pixel, all four channels, against the per-pixel rule for widths that
// leave every remainder of the eight-pixel vector path, one-row and
// one-column images, and factors that overflow to infinity or turn NaN.
TEST(LensDistortionRules, EveryPixelIsTheBilinearSampleAtItsPosition) {
    const float huge = 3e38f;
    const std::pair<float, float> amounts[] = {{0.37f, 0.713f}, {-0.9f, 0.0f}, {huge, 0.2f}, {-huge, huge}, {0.002f, 1e30f}};
    for (auto [w, h] : {std::pair{8, 5}, {13, 7}, {23, 1}, {1, 9}, {31, 4}}) {
        for (auto [lens, fisheye] : amounts) {
            const Image original = testing::patternImage(w, h, w + h);
            Settings s = testing::quietSettings();
            s.lensDistortion = lens;
            s.fisheye = fisheye;
            Image image = original;
            applyLensDistortion(image, s);
            const float cx = static_cast<float>(w - 1) / 2.0f, cy = static_cast<float>(h - 1) / 2.0f;
            const float sx = cx > 0.0f ? 1.0f / cx : 1.0f, sy = cy > 0.0f ? 1.0f / cy : 1.0f;
            for (int32_t y = 0; y < h; ++y) {
                for (int32_t x = 0; x < w; ++x) {
                    const float nx = (static_cast<float>(x) - cx) * sx;
                    const float ny = (static_cast<float>(y) - cy) * sy;
                    const float r2 = nx * nx + ny * ny;
                    const float r4 = r2 * r2;
                    float f = 1.0f + 0.75f * lens * r2 + 1.15f * fisheye * r4;
                    f = std::isnan(f) ? 1.0f : std::clamp(f, -FLT_MAX, FLT_MAX);
                    const float X = cx > 0.0f ? cx + f * nx * cx : cx;
                    const float Y = cy > 0.0f ? cy + f * ny * cy : cy;
                    ASSERT_TRUE(testing::samePixel(image.at(x, y), bilinearSample(original, X, Y)))
                        << w << "x" << h << " " << lens << "," << fisheye << " at " << x << "," << y;
                }
            }
        }
    }
}

}  // namespace
}  // namespace ormel
