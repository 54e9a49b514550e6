#include "pipeline/composite_layer.h"

#include <gtest/gtest.h>

#include <limits>

namespace ormel {
namespace {

Pixel compositeOne(Pixel picture, Pixel layer) {
    Image p(1, 1, picture);
    compositeLayer(p, Image(1, 1, layer));
    return p.pixels[0];
}

void expectPixel(Pixel actual, Pixel expected) {
    EXPECT_FLOAT_EQ(actual.r, expected.r);
    EXPECT_FLOAT_EQ(actual.g, expected.g);
    EXPECT_FLOAT_EQ(actual.b, expected.b);
    EXPECT_FLOAT_EQ(actual.a, expected.a);
}

TEST(CompositeLayer, CoverageIsDividedOutBeforeMixing) {
    const Pixel black{0.0f, 0.0f, 0.0f, 1.0f};
    expectPixel(compositeOne(black, {0.25f, 0.0f, 0.0f, 0.5f}), {0.25f, 0.0f, 0.0f, 1.0f});
    // k = 0.25, straight colour 0.4 over a half-transparent picture.
    expectPixel(compositeOne({0.2f, 0.4f, 0.6f, 0.5f}, {0.1f, 0.1f, 0.1f, 0.25f}),
                {0.25f, 0.4f, 0.55f, 0.625f});
}

TEST(CompositeLayer, NearlyClearOrNanAlphaLeavesThePicture) {
    const Pixel picture{0.3f, 0.6f, 0.9f, 0.7f};
    expectPixel(compositeOne(picture, {1.0f, 1.0f, 1.0f, 0.00005f}), picture);
    expectPixel(compositeOne(picture, {1.0f, 1.0f, 1.0f, 0.0001f}), picture);
    expectPixel(compositeOne(picture, {1.0f, 1.0f, 1.0f, std::numeric_limits<float>::quiet_NaN()}), picture);
}

TEST(CompositeLayer, AlphaAboveOneReplacesWithClampedColour) {
    expectPixel(compositeOne({0.3f, 0.6f, 0.9f, 0.2f}, {3.0f, 0.5f, -1.0f, 2.0f}), {1.0f, 0.25f, 0.0f, 1.0f});
}

TEST(CompositeLayer, DifferentOrEmptySizesDoNothing) {
    Image picture(2, 2, Pixel{0.5f, 0.5f, 0.5f, 1.0f});
    compositeLayer(picture, Image(2, 1, Pixel{1.0f, 0.0f, 0.0f, 1.0f}));
    compositeLayer(picture, Image(1, 2, Pixel{1.0f, 0.0f, 0.0f, 1.0f}));
    Image inconsistent;
    inconsistent.width = 2;
    inconsistent.height = 2;
    compositeLayer(picture, inconsistent);
    for (const Pixel& p : picture.pixels) {
        EXPECT_EQ(p.r, 0.5f);
    }
    Image empty;
    compositeLayer(empty, Image());
    EXPECT_TRUE(empty.pixels.empty());
}

}  // namespace
}  // namespace ormel
