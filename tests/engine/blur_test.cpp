// The box blur is checked against a direct 2-D mean over clamped coordinates.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>

#include "engine/detection.h"
#include "tests/engine/test_images.h"

namespace ormel {
namespace {

using testing_images::kBlack;
using testing_images::kRed;
using testing_images::plainKey;

// Red keys to exactly 1 and black to exactly 0, so the expected mask is the
// thresholded mean of a 0/1 pattern.
Image scatter(int32_t width, int32_t height, uint32_t seed) {
    Image image(width, height, kBlack);
    uint32_t state = seed;
    for (Pixel& p : image.pixels) {
        state = state * 1664525u + 1013904223u;
        if ((state >> 28) < 7) {
            p = kRed;
        }
    }
    return image;
}

std::vector<float> directBoxMask(const Image& image, int64_t r) {
    std::vector<float> mask;
    for (int64_t y = 0; y < image.height; ++y) {
        for (int64_t x = 0; x < image.width; ++x) {
            double sum = 0.0;
            for (int64_t dy = -r; dy <= r; ++dy) {
                for (int64_t dx = -r; dx <= r; ++dx) {
                    const int64_t sx = std::clamp<int64_t>(x + dx, 0, image.width - 1);
                    const int64_t sy = std::clamp<int64_t>(y + dy, 0, image.height - 1);
                    sum += image.at(static_cast<int32_t>(sx), static_cast<int32_t>(sy)).r;
                }
            }
            const double n = static_cast<double>(2 * r + 1);
            mask.push_back(sum / (n * n) >= 0.5 ? 1.0f : 0.0f);
        }
    }
    return mask;
}

TEST(DetectionBlur, MatchesDirectMeanForSmallAndOverhangingRadii) {
    const Image image = scatter(13, 9, 7u);
    for (int32_t r : {1, 2, 4, 11, 30}) {
        Settings s = plainKey();
        s.blurRadius = r;
        std::vector<float> mask;
        detectBlobs(image, s, &mask);
        EXPECT_EQ(mask, directBoxMask(image, r)) << "radius " << r;
    }
}

TEST(DetectionBlur, OnePixelImageAveragesCopiesOfItself) {
    Settings s = plainKey();
    s.blurRadius = 3;
    EXPECT_EQ(detectBlobs(Image(1, 1, kRed), s).size(), 1u);
    EXPECT_TRUE(detectBlobs(Image(1, 1, kBlack), s).empty());
}

TEST(DetectionBlur, EdgeSamplesRepeatTheBorderPixel) {
    // Last column keyed: its window (x 2, 3, 3) has mean 2/3; a zero margin would give 1/3.
    Image image(4, 1, kBlack);
    image.at(3, 0) = kRed;
    Settings s = plainKey();
    s.blurRadius = 1;
    std::vector<float> mask;
    detectBlobs(image, s, &mask);
    EXPECT_EQ(mask, (std::vector<float>{0, 0, 0, 1}));
}

TEST(DetectionBlur, LargestRadiusIsSafe) {
    Settings s = plainKey();
    s.blurRadius = std::numeric_limits<int32_t>::max();
    std::vector<float> mask;
    // Both ends keyed: every window is almost all repeated end pixels.
    Image ends(4, 1, kBlack);
    ends.at(0, 0) = kRed;
    ends.at(3, 0) = kRed;
    detectBlobs(ends, s, &mask);
    EXPECT_EQ(mask, (std::vector<float>{1, 1, 1, 1}));
    detectBlobs(Image(1, 1, kRed), s, &mask);
    EXPECT_EQ(mask, (std::vector<float>{1}));
    detectBlobs(Image(3, 2, kBlack), s, &mask);
    EXPECT_EQ(mask, (std::vector<float>(6, 0.0f)));
}

}  // namespace
}  // namespace ormel
