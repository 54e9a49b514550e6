#include "treatments/box_blur.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "tests/support/thread_runners.h"
#include "tests/treatments/test_images.h"

namespace ormel {
namespace {

using testing::patternImage;
using testing::sameImage;

// Each window summed afresh, horizontal then vertical.
Image directBoxBlur(const Image& image, int r) {
    auto pass = [r](const Image& src, bool vertical) {
        Image out(src.width, src.height);
        for (int y = 0; y < src.height; ++y)
            for (int x = 0; x < src.width; ++x) {
                double s[4] = {0, 0, 0, 0};
                for (int k = -r; k <= r; ++k) {
                    const Pixel& p = vertical ? src.at(x, std::clamp(y + k, 0, src.height - 1))
                                              : src.at(std::clamp(x + k, 0, src.width - 1), y);
                    s[0] += p.r, s[1] += p.g, s[2] += p.b, s[3] += p.a;
                }
                const double n = 2 * r + 1;
                out.at(x, y) = Pixel{float(s[0] / n), float(s[1] / n), float(s[2] / n), float(s[3] / n)};
            }
        return out;
    };
    return pass(pass(image, false), true);
}

TEST(BoxBlur, RunningSumsMatchPerWindowMeans) {
    for (auto [w, h, r] : {std::tuple{37, 23, 1}, std::tuple{37, 23, 7}, std::tuple{60, 50, 24}, std::tuple{3, 2, 10}}) {
        const Image image = patternImage(w, h, r);
        const Image fast = blurredImage(image, r), slow = directBoxBlur(image, r);
        for (size_t i = 0; i < fast.pixels.size(); ++i) {
            EXPECT_NEAR(fast.pixels[i].r, slow.pixels[i].r, 1e-5f);
            EXPECT_NEAR(fast.pixels[i].b, slow.pixels[i].b, 1e-5f);
        }
    }
    const Image image = patternImage(60, 50, 2);
    EXPECT_TRUE(sameImage(blurredImage(image, 1000), blurredImage(image, 24)));
    EXPECT_TRUE(sameImage(blurredImage(image, 0), image));
    EXPECT_TRUE(sameImage(blurredImage(image, -3), image));
    EXPECT_TRUE(blurredImage(Image(0, 12), 3).pixels.empty());
}

TEST(BoxBlur, NonFiniteAndHugeValuesStayInsideTheirWindow) {
    Image image = patternImage(40, 30, 3);
    image.at(5, 10).r = std::numeric_limits<float>::quiet_NaN();
    image.at(30, 20).g = std::numeric_limits<float>::infinity();
    image.at(20, 5).b = 3e38f;
    const Image out = blurredImage(image, 2);
    EXPECT_TRUE(std::isnan(out.at(7, 12).r));
    EXPECT_TRUE(std::isinf(out.at(30, 20).g));
    EXPECT_NEAR(out.at(20, 5).b, 3e38f / 25.0f, 1e33f);
    // A running sum would carry these along the whole row or column.
    EXPECT_FLOAT_EQ(out.at(8, 10).r, directBoxBlur(image, 2).at(8, 10).r);
    EXPECT_TRUE(std::isfinite(out.at(39, 20).g));
    EXPECT_LT(out.at(20, 8).b, 1.0f);
}

// The sliding sums as plainly as they can be written: the window sum of the
// first position, then one pixel in and one out per step, in double.
Image slidingBoxBlur(const Image& image, int r) {
    auto pass = [r](const Image& src, bool vertical) {
        Image out(src.width, src.height);
        const int lines = vertical ? src.width : src.height;
        const int length = vertical ? src.height : src.width;
        auto at = [&](int line, int i) -> const Pixel& {
            i = std::clamp(i, 0, length - 1);
            return vertical ? src.at(line, i) : src.at(i, line);
        };
        for (int line = 0; line < lines; ++line) {
            double s[4] = {0, 0, 0, 0};
            for (int k = -r; k <= r; ++k) {
                const Pixel& p = at(line, k);
                s[0] += p.r, s[1] += p.g, s[2] += p.b, s[3] += p.a;
            }
            const double n = 2.0 * r + 1.0;
            for (int i = 0; i < length; ++i) {
                (vertical ? out.at(line, i) : out.at(i, line)) =
                    Pixel{float(s[0] / n), float(s[1] / n), float(s[2] / n), float(s[3] / n)};
                const Pixel& in = at(line, i + r + 1);
                const Pixel& gone = at(line, i - r);
                s[0] += in.r, s[1] += in.g, s[2] += in.b, s[3] += in.a;
                s[0] -= gone.r, s[1] -= gone.g, s[2] -= gone.b, s[3] -= gone.a;
            }
        }
        return out;
    };
    return pass(pass(image, false), true);
}

// A mostly clear layer, as the overlay-only pixel sort blurs: the clear
// stretches are written as +0 without summing, which must give the very bits
// of the sliding sums, including where a mark's sums leave a residue behind
// (1 and 1e-20 in one window do not cancel exactly) and where -0 is present.
TEST(BoxBlur, ClearStretchesGiveTheSlidingSumsBits) {
    for (int r : {1, 5, 24}) {
        Image image(150, 140, Pixel{0.0f, 0.0f, 0.0f, 0.0f});
        image.at(20, 30) = Pixel{1.0f, 0.5f, 0.25f, 1.0f};
        image.at(21, 30) = Pixel{1e-20f, 3e-9f, 0.7f, 1e-30f};
        image.at(100, 100) = Pixel{0.3f, 0.3f, 0.3f, 0.3f};
        image.at(140, 5) = Pixel{-0.0f, 0.0f, -0.0f, 0.0f};
        for (int x = 64; x < 80; ++x) image.at(x, 70) = Pixel{0.9f, 0.1f, 0.4f, 0.8f};
        const Image want = slidingBoxBlur(image, r);
        const Image got = blurredImage(image, r);
        for (size_t i = 0; i < want.pixels.size(); ++i)
            ASSERT_TRUE(testing::samePixel(got.pixels[i], want.pixels[i])) << r << " at " << i;
        EXPECT_TRUE(sameImage(blurredImage(image, r, testing_support::threadedBands(3)), want)) << r;
    }
}

// Each row puts one window sum exactly halfway between two floats near the top
// of a binade (where a product with 1 / count would round the other way than
// the division), next to tiny and subnormal means; the row counts fill the
// groups of rows slid together or leave some over.
TEST(BoxBlur, MeansRoundAsTheDivisionDoes) {
    int apart = 0;
    for (int r = 1; r <= 24; ++r) {
        const int count = 2 * r + 1;
        for (int height : {1, 4, 5, 7}) {
            Image image(4 * r + 3, height);
            for (int y = 0; y < height; ++y) {
                // m halfway between two floats of [1, 2); x0 + 2r v = count m, with
                // every value in [0.5, 2) so the sums are exact in double.
                const int64_t j = (int64_t{1} << 22) - 1 - 37 * y - 5 * r;
                const double m = 1.0 + static_cast<double>(2 * j + 1) * 0x1p-24;
                const int64_t d = (count * (2 * j + 1)) / (4 * r) + 1;
                const float v = static_cast<float>(1.0 + static_cast<double>(d) * 0x1p-23);
                const double x0 = count * m - 2.0 * r * static_cast<double>(v);
                ASSERT_EQ(static_cast<double>(static_cast<float>(x0)), x0);
                for (int x = 0; x < image.width; ++x) image.at(x, y) = Pixel{v, v, v, 1e-39f * static_cast<float>(x)};
                image.at(2 * r + 1, y).r = static_cast<float>(x0);
                image.at(0, y).b = 7e-45f;
                const double sum = count * m;
                apart += static_cast<float>(sum * (1.0 / count)) != static_cast<float>(sum / count);
            }
            const Image want = slidingBoxBlur(image, r);
            ASSERT_TRUE(sameImage(blurredImage(image, r), want)) << r << " " << height;
            ASSERT_TRUE(sameImage(blurredImage(image, r, testing_support::threadedBands(2)), want)) << r;
        }
    }
    EXPECT_GT(apart, 0) << "some halfway sums must be ones a plain product rounds wrongly";
}

// A layer clear but for a few marks, one of them wild so that rows take the
// per-window route too.
Image sparseLayer(int w, int h, bool wild) {
    Image image(w, h, Pixel{0.0f, 0.0f, 0.0f, 0.0f});
    for (int x = 10; x < 140 && x < w; ++x) image.at(x, 12) = Pixel{0.8f, 0.2f, 0.1f, 1.0f};
    for (int y = 40; y < 90 && y < h; ++y) image.at(130, y) = Pixel{0.1f, 0.9f, 0.3f, 0.5f};
    image.at(70, 100) = Pixel{wild ? std::numeric_limits<float>::quiet_NaN() : 0.4f, 0.4f, 0.4f, 1.0f};
    return image;
}

// The sink is handed every mean except +0 ones over clear pixels, each once,
// and the horizontal pass's stretches it left unwritten are never read: a
// scratch full of another frame's NaNs changes nothing.
TEST(BoxBlur, SinkSeesEveryMeanThatCanMatterOnce) {
    for (bool wild : {false, true}) {
        for (int r : {1, 9, 24}) {
            const Image image = sparseLayer(203, 131, wild);
            const Image want = blurredImage(image, r);
            BlurScratch scratch;
            scratch.across = Image(300, 200, Pixel{std::numeric_limits<float>::quiet_NaN(), 1.0f, 2.0f, 3.0f});
            scratch.acrossClear.perRow = 1;
            scratch.acrossClear.clear.assign(7, 1);
            ClearMap clear;
            resetClearMap(clear, image);
            std::vector<int> seen(image.pixels.size(), 0);
            Image got(image.width, image.height, Pixel{0.0f, 0.0f, 0.0f, 0.0f});
            blurIntoSink(image, clear, r, scratch, testing_support::threadedBands(3),
                         [&](int y, int x, const Pixel* means, int n) {
                             ASSERT_EQ(x % kClearStretch, 0);
                             ASSERT_TRUE(n % kClearStretch == 0 || x + n == image.width);
                             for (int i = 0; i < n; ++i) {
                                 got.at(x + i, y) = means[i];
                                 ++seen[static_cast<size_t>(y) * image.width + x + i];
                             }
                         });
            EXPECT_TRUE(sameImage(got, want)) << wild << " r " << r;
            size_t skipped = 0;
            for (size_t i = 0; i < seen.size(); ++i) {
                ASSERT_LE(seen[i], 1);
                if (seen[i] == 1) continue;
                ++skipped;
                ASSERT_TRUE(testing::samePixel(image.pixels[i], Pixel{0.0f, 0.0f, 0.0f, 0.0f})) << i;
                ASSERT_TRUE(testing::samePixel(want.pixels[i], Pixel{0.0f, 0.0f, 0.0f, 0.0f})) << i;
            }
            if (!wild) {
                EXPECT_GT(skipped, seen.size() / 5) << "much of a clear layer needs no sink";
            }
            // What the blur found clear is clear.
            for (int y = 0; y < image.height; ++y) {
                for (int st = 0; st < clear.perRow; ++st) {
                    if (!clear.isClear(y, st)) continue;
                    for (int x = st * kClearStretch; x < std::min(image.width, (st + 1) * kClearStretch); ++x)
                        ASSERT_TRUE(testing::samePixel(image.at(x, y), Pixel{0.0f, 0.0f, 0.0f, 0.0f}));
                }
            }
        }
    }
}

}  // namespace
}  // namespace ormel
