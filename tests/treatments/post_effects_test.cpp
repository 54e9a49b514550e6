#include "treatments/post_effects.h"

#include <limits>

#include <gtest/gtest.h>

#include "tests/treatments/test_images.h"
#include "treatments/ascii_art.h"
#include "treatments/chromatic_aberration.h"
#include "treatments/glitch_slices.h"
#include "treatments/lens_distortion.h"
#include "treatments/radial_blur.h"
#include "treatments/screen_pass.h"

namespace ormel {
namespace {

using testing::patternImage;
using testing::quietSettings;
using testing::sameImage;

Settings everyStageOn() {
    Settings s = quietSettings();
    s.lensDistortion = 0.3f;
    s.fisheye = 0.2f;
    s.radialBlur = 0.4f;
    s.glitchAmount = 0.9f;
    s.chromaticAberration = 3.0f;
    s.scanline = 0.5f;
    s.noise = 0.2f;
    s.vignette = 0.4f;
    s.vhsFlicker = 0.5f;
    s.invertAmount = 0.2f;
    s.asciiMode = 1;
    s.asciiAmount = 0.5f;
    s.asciiCellSize = 8;
    s.seed = 99;
    s.frameNumber = 3;
    return s;
}

TEST(PostEffects, WithEverythingOffOnlyColourIsClamped) {
    Image image = patternImage(12, 8);
    image.at(1, 1) = Pixel{1.5f, -0.5f, 0.5f, 2.0f};
    applyPostEffects(image, quietSettings());
    const Image reference = patternImage(12, 8);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        if (i == 13) continue;
        EXPECT_TRUE(testing::samePixel(image.pixels[i], reference.pixels[i]));
    }
    EXPECT_EQ(image.at(1, 1).r, 1.0f);
    EXPECT_EQ(image.at(1, 1).g, 0.0f);
    EXPECT_EQ(image.at(1, 1).a, 2.0f);
}

TEST(PostEffects, StagesRunInTheirFixedOrder) {
    const Settings s = everyStageOn();
    Image chained = patternImage(64, 40);
    applyPostEffects(chained, s);

    Image byHand = patternImage(64, 40);
    applyLensDistortion(byHand, s);
    applyRadialBlur(byHand, s);
    applyGlitchSlices(byHand, s);
    applyChromaticAberration(byHand, s);
    applyScreenPass(byHand, s);
    applyAsciiArt(byHand, s);
    EXPECT_TRUE(sameImage(chained, byHand));

    // The radial blur belongs to the chain: switching it off changes the result.
    Settings noBlur = s;
    noBlur.radialBlur = 0.0f;
    Image withoutBlur = patternImage(64, 40);
    applyPostEffects(withoutBlur, noBlur);
    EXPECT_FALSE(sameImage(chained, withoutBlur));
}

TEST(PostEffects, RepeatsForTheSameFrameAndChangesAcrossFramesAndSeeds) {
    auto render = [](int32_t seed, int32_t frame) {
        Settings s = everyStageOn();
        s.seed = seed;
        s.frameNumber = frame;
        Image image = patternImage(48, 32, 1);
        applyPostEffects(image, s);
        return image;
    };
    const Image first = render(99, 3);
    EXPECT_TRUE(sameImage(first, render(99, 3)));
    EXPECT_FALSE(sameImage(first, render(99, 4)));
    EXPECT_FALSE(sameImage(first, render(100, 3)));
}

TEST(PostEffects, EmptyAndHostileInputsStayDefined) {
    Image empty(0, 0);
    applyPostEffects(empty, everyStageOn());
    EXPECT_TRUE(empty.pixels.empty());
    Image column(0, 9);
    applyPostEffects(column, everyStageOn());
    EXPECT_TRUE(column.pixels.empty());

    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Settings s = everyStageOn();
    s.lensDistortion = -inf;
    s.fisheye = inf;
    s.radialBlur = inf;
    s.glitchAmount = 3e38f;
    s.chromaticAberration = inf;
    s.scanline = nan;
    s.noise = inf;
    s.vignette = -inf;
    s.vhsFlicker = nan;
    s.invertAmount = 1e30f;
    s.asciiMode = 2;
    s.asciiAmount = inf;
    s.asciiCellSize = std::numeric_limits<int32_t>::min();
    Image image = patternImage(33, 17, 6);
    image.at(3, 3).r = nan;
    image.at(9, 9).g = inf;
    applyPostEffects(image, s);
    Image again = patternImage(33, 17, 6);
    again.at(3, 3).r = nan;
    again.at(9, 9).g = inf;
    applyPostEffects(again, s);
    EXPECT_TRUE(sameImage(image, again));
}

}  // namespace
}  // namespace ormel
