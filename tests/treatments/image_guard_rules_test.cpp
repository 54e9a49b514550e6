#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/treatments/test_images.h"
#include "treatments/ascii_art.h"
#include "treatments/box_blur.h"
#include "treatments/chromatic_aberration.h"
#include "treatments/glitch_slices.h"
#include "treatments/lens_distortion.h"
#include "treatments/pixel_sort.h"
#include "treatments/post_effects.h"
#include "treatments/radial_blur.h"
#include "treatments/screen_pass.h"

namespace ormel {
namespace {

Settings everythingOn() {
    Settings s = testing::quietSettings();
    s.lensDistortion = 0.3f;
    s.fisheye = 0.2f;
    s.radialBlur = 0.5f;
    s.glitchAmount = 1.0f;
    s.chromaticAberration = 2.0f;
    s.scanline = 0.5f;
    s.noise = 0.1f;
    s.vignette = 0.5f;
    s.asciiMode = ormel::AsciiMode::Replace;
    s.asciiAmount = 1.0f;
    s.asciiCellSize = 4;
    s.pixelSortEnable = true;
    s.pixelSortScope = ormel::SortScope::WholePicture;
    s.pixelSortThreshold = 0.0f;
    return s;
}

// A size that does not match the pixel array is no picture to work on: every
// treatment leaves it as it is instead of reading or writing past the array.
TEST(TreatmentImageGuard, SizeThatDisagreesWithThePixelsIsLeftAlone) {
    const Settings s = everythingOn();
    using Treatment = std::function<void(Image&)>;
    const std::vector<std::pair<std::string, Treatment>> treatments = {
        {"chain", [&](Image& i) { applyPostEffects(i, s); }},
        {"lens", [&](Image& i) { applyLensDistortion(i, s); }},
        {"radial", [&](Image& i) { applyRadialBlur(i, s); }},
        {"glitch", [&](Image& i) { applyGlitchSlices(i, s); }},
        {"chromatic", [&](Image& i) { applyChromaticAberration(i, s); }},
        {"screen", [&](Image& i) { applyScreenPass(i, s); }},
        {"ascii", [&](Image& i) { applyAsciiArt(i, s); }},
        {"sort", [&](Image& i) { applyPixelSort(i, s); }},
        {"rows", [&](Image& i) { applyPixelSortAxis(i, s, false); }},
        {"columns", [&](Image& i) { applyPixelSortAxis(i, s, true); }},
        {"blur", [&](Image& i) { i = blurredImage(i, 3); }},
    };
    for (const auto& [name, treat] : treatments) {
        for (size_t count : {size_t{0}, size_t{10}, size_t{30}}) {
            Image image = testing::patternImage(6, 5, 2);
            image.height = 4;  // 24 pixels stated
            image.pixels.resize(count, Pixel{2.0f, -1.0f, 0.5f, 1.0f});
            for (Pixel& p : image.pixels) p.r += 1.0f;  // out of range: any pass would show
            const Image before = image;
            treat(image);
            EXPECT_TRUE(testing::sameImage(image, before)) << name << " with " << count << " pixels";
        }
    }
}

}  // namespace
}  // namespace ormel
