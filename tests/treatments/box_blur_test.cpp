#include "treatments/box_blur.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "tests/treatments/test_images.h"

namespace ormel {
namespace {

using testing::patternImage;
using testing::sameImage;

// Straightforward two-pass mean of 2r + 1 clamped neighbours, summed afresh per pixel.
Image directBoxBlur(const Image& image, int r) {
    auto pass = [&](const Image& src, bool vertical) {
        Image out(src.width, src.height);
        for (int y = 0; y < src.height; ++y) {
            for (int x = 0; x < src.width; ++x) {
                double s[4] = {0, 0, 0, 0};
                for (int k = -r; k <= r; ++k) {
                    const int xx = vertical ? x : std::clamp(x + k, 0, src.width - 1);
                    const int yy = vertical ? std::clamp(y + k, 0, src.height - 1) : y;
                    const Pixel& p = src.at(xx, yy);
                    s[0] += p.r;
                    s[1] += p.g;
                    s[2] += p.b;
                    s[3] += p.a;
                }
                const double n = 2 * r + 1;
                out.at(x, y) = Pixel{float(s[0] / n), float(s[1] / n), float(s[2] / n), float(s[3] / n)};
            }
        }
        return out;
    };
    return pass(pass(image, false), true);
}

void expectNear(const Image& a, const Image& b, float tolerance) {
    ASSERT_EQ(a.width, b.width);
    ASSERT_EQ(a.height, b.height);
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        EXPECT_NEAR(a.pixels[i].r, b.pixels[i].r, tolerance) << i;
        EXPECT_NEAR(a.pixels[i].g, b.pixels[i].g, tolerance) << i;
        EXPECT_NEAR(a.pixels[i].b, b.pixels[i].b, tolerance) << i;
        EXPECT_NEAR(a.pixels[i].a, b.pixels[i].a, tolerance) << i;
    }
}

TEST(BoxBlur, NonPositiveRadiusAndEmptyImageGiveCopies) {
    const Image image = patternImage(7, 5);
    EXPECT_TRUE(sameImage(blurredImage(image, 0), image));
    EXPECT_TRUE(sameImage(blurredImage(image, -4), image));
    const Image empty(0, 12);
    const Image out = blurredImage(empty, 3);
    EXPECT_EQ(out.width, 0);
    EXPECT_EQ(out.height, 12);
    EXPECT_TRUE(out.pixels.empty());
}

TEST(BoxBlur, MatchesPerWindowMeanWithRepeatedEdges) {
    Image image = patternImage(37, 23, 5);
    image.at(3, 4).a = 0.25f;  // alpha is blurred too
    for (int r : {1, 2, 7, 24}) {
        expectNear(blurredImage(image, r), directBoxBlur(image, r), 1e-5f);
    }
    // Radius larger than the image: windows are mostly repeated edge pixels.
    Image narrow = patternImage(3, 2, 9);
    expectNear(blurredImage(narrow, 10), directBoxBlur(narrow, 10), 1e-5f);
}

TEST(BoxBlur, RadiusIsCappedAt24) {
    const Image image = patternImage(60, 50, 2);
    EXPECT_TRUE(sameImage(blurredImage(image, 1000), blurredImage(image, 24)));
    EXPECT_FALSE(sameImage(blurredImage(image, 23), blurredImage(image, 24)));
}

TEST(BoxBlur, UniformImageStaysExactlyUniform) {
    const Image image(19, 13, Pixel{0.1f, 0.7f, 0.3f, 0.9f});
    EXPECT_TRUE(sameImage(blurredImage(image, 5), image));
}

TEST(BoxBlur, NonFiniteValuesStayInsideTheirWindow) {
    Image image = patternImage(40, 30, 3);
    image.at(5, 10).r = std::numeric_limits<float>::quiet_NaN();
    image.at(30, 20).g = std::numeric_limits<float>::infinity();
    const Image out = blurredImage(image, 2);
    EXPECT_TRUE(std::isnan(out.at(5, 10).r));
    EXPECT_TRUE(std::isnan(out.at(7, 12).r));
    EXPECT_TRUE(std::isinf(out.at(30, 20).g));
    // Beyond the window the values are ordinary means again.
    const Image clean = directBoxBlur(image, 2);
    EXPECT_FLOAT_EQ(out.at(8, 10).r, clean.at(8, 10).r);
    EXPECT_TRUE(std::isfinite(out.at(8, 10).r));
    EXPECT_TRUE(std::isfinite(out.at(30, 23).g));
    EXPECT_TRUE(std::isfinite(out.at(39, 20).g));
}

TEST(BoxBlur, HugeValuesDoNotLeakPastTheirWindow) {
    Image image(50, 1, Pixel{0.5f, 0.5f, 0.5f, 1.0f});
    image.at(3, 0).r = 3e38f;
    const Image out = blurredImage(image, 1);
    EXPECT_FLOAT_EQ(out.at(3, 0).r, (3e38f + 1.0f) / 3.0f);
    EXPECT_EQ(out.at(10, 0).r, 0.5f);
    EXPECT_EQ(out.at(49, 0).r, 0.5f);
}

}  // namespace
}  // namespace ormel
