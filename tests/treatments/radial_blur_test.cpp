#include "treatments/radial_blur.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "tests/treatments/test_images.h"

namespace ormel {
namespace {

using testing::allFinite;
using testing::patternImage;
using testing::quietSettings;
using testing::sameImage;

Settings withAmount(float amount) {
    Settings s = quietSettings();
    s.radialBlur = amount;
    return s;
}

// One row 1001 wide (centre column 500): the last pixel's samples step toward the
// centre by 500 * strength / (N - 1) each, so the share landing on the bright right
// end reveals how many samples were taken.
Image brightRightEnd(int32_t firstBright) {
    Image row(1001, 1, Pixel{0.0f, 0.0f, 0.0f, 1.0f});
    for (int32_t x = firstBright; x < 1001; ++x) row.at(x, 0).r = 1.0f;
    return row;
}

TEST(RadialBlur, ThresholdAndNaNLeaveImageUntouched) {
    const Image original = patternImage(17, 9);
    for (float amount : {0.0f, 0.001f, -3.0f, std::numeric_limits<float>::quiet_NaN()}) {
        Image image = original;
        applyRadialBlur(image, withAmount(amount));
        EXPECT_TRUE(sameImage(image, original)) << "amount " << amount;
    }
    Image image = original;
    applyRadialBlur(image, withAmount(0.0011f));
    EXPECT_FALSE(sameImage(image, original));
}

TEST(RadialBlur, SampleCountFollowsAmount) {
    // 0.35: N = 6, samples at 1000 - 2.975 k; those at 1000, 997.0, 994.1, 991.1 are bright.
    Image six = brightRightEnd(990);
    applyRadialBlur(six, withAmount(0.35f));
    EXPECT_NEAR(six.at(1000, 0).r, 4.0f / 6.0f, 1e-5f);

    // 0.95: N = 12, step 500 * 0.08075 / 11 = 3.67; samples 1000, 996.3, 992.7 lie past 990.
    Image twelve = brightRightEnd(990);
    applyRadialBlur(twelve, withAmount(0.95f));
    EXPECT_NEAR(twelve.at(1000, 0).r, 3.0f / 12.0f, 1e-5f);

    // Above 0.95 the count stays at 12, only the reach grows (0.99: step 3.826).
    Image capped = brightRightEnd(990);
    applyRadialBlur(capped, withAmount(0.99f));
    EXPECT_NEAR(capped.at(1000, 0).r, 3.0f / 12.0f, 1e-5f);

    // 0.0011: N = 3. A row 100001 wide gives a reach of 4.7 px at the last pixel, samples
    // at 100000, 99997.7 and 99995.3: two of three bright (four samples would give 0.72).
    Image wide(100001, 1, Pixel{0.0f, 0.0f, 0.0f, 1.0f});
    for (int32_t x = 99997; x < 100001; ++x) wide.at(x, 0).r = 1.0f;
    applyRadialBlur(wide, withAmount(0.0011f));
    EXPECT_NEAR(wide.at(100000, 0).r, 2.0f / 3.0f, 1e-4f);
}

TEST(RadialBlur, UniformAndTinyImagesKeepTheirValues) {
    Image uniform(31, 20, Pixel{0.1f, 0.7f, 0.3f, 0.5f});
    applyRadialBlur(uniform, withAmount(1.0f));
    EXPECT_TRUE(sameImage(uniform, Image(31, 20, Pixel{0.1f, 0.7f, 0.3f, 0.5f})));
    Image single(1, 1, Pixel{0.3f, 0.6f, 0.9f, 0.2f});
    const Image before = single;
    applyRadialBlur(single, withAmount(1.0f));
    EXPECT_TRUE(sameImage(single, before));
}

TEST(RadialBlur, CentreStaysAndLonePixelStreaksInward) {
    Image layer(41, 41, Pixel{0.0f, 0.0f, 0.0f, 0.0f});
    layer.at(20, 20) = Pixel{0.0f, 1.0f, 0.0f, 1.0f};
    layer.at(38, 20) = Pixel{1.0f, 1.0f, 1.0f, 1.0f};
    applyRadialBlur(layer, withAmount(1.0f));
    // The centre pixel's samples all sit on itself.
    EXPECT_FLOAT_EQ(layer.at(20, 20).g, 1.0f);
    EXPECT_FLOAT_EQ(layer.at(20, 20).a, 1.0f);
    // The lone pixel fades and leaks onto its inner neighbour, never outward.
    EXPECT_LT(layer.at(38, 20).a, 1.0f);
    EXPECT_GT(layer.at(38, 20).a, 0.0f);
    EXPECT_GT(layer.at(39, 20).a, 0.0f);  // its samples reach back toward the pixel
    EXPECT_EQ(layer.at(36, 20).a, 0.0f);  // too far inward for 8.5 % of 16 px
    EXPECT_EQ(layer.at(38, 25).a, 0.0f);  // rows 5 apart never meet
}

TEST(RadialBlur, HugeAndInfiniteAmountsStayDefined) {
    for (float amount : {1e30f, std::numeric_limits<float>::infinity()}) {
        Image image = patternImage(23, 11);
        applyRadialBlur(image, withAmount(amount));
        EXPECT_TRUE(allFinite(image)) << amount;
    }
}

TEST(RadialBlur, NonFinitePixelsDoNotBreakIt) {
    Image image = patternImage(9, 9);
    image.at(2, 3).r = std::numeric_limits<float>::infinity();
    image.at(6, 1).g = std::numeric_limits<float>::quiet_NaN();
    applyRadialBlur(image, withAmount(0.8f));
    // Far corner pixels never sample those two.
    EXPECT_TRUE(std::isfinite(image.at(8, 8).r));
}

}  // namespace
}  // namespace ormel
