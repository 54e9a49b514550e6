// Which pictures the overlay, radial blur, pixel sort and treatment chain reach.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>
#include <utility>

#include "pipeline/process_frame.h"
#include "tests/engine/test_images.h"

namespace ormel {
namespace {

using testing_images::fillRect;
using testing_images::kRed;
using testing_images::plainKey;

// A grey-blue ramp (never keyed, luminance well above the sort threshold) with
// one red square near the top-left corner for the overlay to mark.
Image rampWithTarget() {
    Image image(96, 64);
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            const float v = 0.3f + 0.5f * static_cast<float>(x + 2 * y) / 224.0f;
            image.at(x, y) = Pixel{v * 0.8f, v * 0.8f, v, 1.0f};
        }
    }
    fillRect(image, 8, 8, 14, 14, kRed);
    return image;
}

Settings marksAtTheTarget() {
    Settings s = plainKey();
    s.detectionScale = 1;
    s.drawLabels = false;  // labels reach far to the right of the point
    s.renderEngine = ormel::RenderEngine::Processor;
    return s;
}

// Pixels of the bottom-right quarter: far from every mark of the overlay.
bool farCornerMatchesSource(const Image& out, const Image& source) {
    for (int32_t y = 40; y < source.height; ++y) {
        for (int32_t x = 60; x < source.width; ++x) {
            const Pixel& a = out.at(x, y);
            const Pixel& b = source.at(x, y);
            if (a.r != b.r || a.g != b.g || a.b != b.b || a.a != b.a) {
                return false;
            }
        }
    }
    return true;
}

bool differsNearTarget(const Image& out, const Image& source) {
    for (int32_t y = 0; y < 24; ++y) {
        for (int32_t x = 0; x < 24; ++x) {
            if (out.at(x, y).g != source.at(x, y).g) {
                return true;
            }
        }
    }
    return false;
}

TEST(ProcessFrameLayers, RadialBlurOverTheSourceBlursOnlyTheOverlay) {
    const Image source = rampWithTarget();
    Settings s = marksAtTheTarget();
    s.radialBlur = 1.0f;
    const Image out = processFrame(source, {}, s).image;
    EXPECT_TRUE(farCornerMatchesSource(out, source));
    EXPECT_TRUE(differsNearTarget(out, source));

    // Without a source underneath, the chain blurs the overlay picture itself,
    // which differs from drawing the marks unblurred.
    s.outputMode = ormel::OutputMode::OverlayOnly;
    const Image blurred = processFrame(source, {}, s).image;
    s.radialBlur = 0.0f;
    const Image sharp = processFrame(source, {}, s).image;
    EXPECT_NE(blurred.pixels.size(), 0u);
    bool anyDifference = false;
    for (size_t i = 0; i < sharp.pixels.size(); ++i) {
        anyDifference = anyDifference || sharp.pixels[i].a != blurred.pixels[i].a;
    }
    EXPECT_TRUE(anyDifference);
}

TEST(ProcessFrameLayers, PixelSortScopeChoosesTheLayer) {
    const Image source = rampWithTarget();
    Settings s = marksAtTheTarget();
    s.pixelSortEnable = true;
    s.pixelSortScope = ormel::SortScope::OverlayOnly;
    const Image overlayOnly = processFrame(source, {}, s).image;
    EXPECT_TRUE(farCornerMatchesSource(overlayOnly, source));
    EXPECT_TRUE(differsNearTarget(overlayOnly, source));

    // The whole picture is bright enough to be active: the far corner streaks too.
    s.pixelSortScope = ormel::SortScope::WholePicture;
    const Image whole = processFrame(source, {}, s).image;
    EXPECT_FALSE(farCornerMatchesSource(whole, source));
}

TEST(ProcessFrameLayers, MatteGetsNeitherOverlayNorTreatments) {
    const Image source = rampWithTarget();
    Settings s = marksAtTheTarget();
    s.outputMode = ormel::OutputMode::Matte;
    s.scanline = 1.0f;
    s.invertAmount = 1.0f;
    s.pixelSortEnable = true;
    s.pixelSortScope = ormel::SortScope::WholePicture;
    const TraceResult result = processFrame(source, {}, s);
    ASSERT_EQ(result.mask.size(), result.image.pixels.size());
    for (size_t i = 0; i < result.mask.size(); ++i) {
        const float m = result.mask[i];
        const Pixel& p = result.image.pixels[i];
        ASSERT_TRUE(p.r == m && p.g == m && p.b == m && p.a == m) << "pixel " << i;
    }
}

TEST(ProcessFrameLayers, RepeatedRendersAreIdentical) {
    const Image source = rampWithTarget();
    Settings s = marksAtTheTarget();
    s.radialBlur = 0.5f;
    s.pixelSortEnable = true;
    s.glitchAmount = 0.5f;
    s.noise = 0.3f;
    s.frameNumber = 7;
    const Image first = processFrame(source, {}, s).image;
    const Image second = processFrame(source, {}, s).image;
    ASSERT_EQ(first.pixels.size(), second.pixels.size());
    for (size_t i = 0; i < first.pixels.size(); ++i) {
        const Pixel& a = first.pixels[i];
        const Pixel& b = second.pixels[i];
        ASSERT_TRUE(a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a) << "pixel " << i;
    }
}

// Scratch pictures kept from frame to frame change nothing: a frame drawn
// after a larger one, after one with another reduction, or after one whose
// overlay layer was left full of marks, comes out as if rendered fresh.
TEST(ProcessFrameLayers, ReusedScratchGivesTheFreshResult) {
    const Image big = rampWithTarget();
    Image small(40, 30);
    for (int32_t y = 0; y < small.height; ++y)
        for (int32_t x = 0; x < small.width; ++x) small.at(x, y) = big.at(x + 3, y + 2);
    Settings layered = marksAtTheTarget();
    layered.radialBlur = 0.5f;
    layered.pixelSortEnable = true;
    layered.pixelSortScope = ormel::SortScope::OverlayOnly;   // the overlay layer only
    Settings reduced = layered;
    reduced.detectionScale = 3;
    Settings plain = marksAtTheTarget();
    plain.detectionScale = 2;

    FrameScratch scratch;
    TraceResult reusedResult;
    for (const auto& [picture, settings] :
         {std::pair<const Image*, Settings>{&big, reduced}, {&small, layered}, {&big, plain}, {&small, reduced},
          {&big, layered}}) {
        processFrameInto(*picture, {}, settings, reusedResult, RowBands::single(), scratch);
        const Image fresh = processFrame(*picture, {}, settings).image;
        ASSERT_EQ(reusedResult.image.pixels.size(), fresh.pixels.size());
        for (size_t i = 0; i < fresh.pixels.size(); ++i) {
            const Pixel& a = reusedResult.image.pixels[i];
            const Pixel& b = fresh.pixels[i];
            ASSERT_TRUE(a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a)
                << "pixel " << i << " of a " << picture->width << "x" << picture->height << " frame";
        }
    }
}

// Drawing straight on a source the caller gives up must give the bits of the
// copying path in every case, those that fall back to it included.
TEST(ProcessFrameLayers, ConsumingTheSourceGivesTheCopyingResult) {
    const Image source = rampWithTarget();
    std::vector<std::pair<const char*, Settings>> cases;
    const Settings base = marksAtTheTarget();
    cases.push_back({"plain", base});
    Settings s = base;
    s.radialBlur = 0.5f;
    s.pixelSortEnable = true;
    s.pixelSortScope = ormel::SortScope::OverlayOnly;
    s.glitchAmount = 0.5f;
    cases.push_back({"overlay layer", s});
    s = base;
    s.pixelSortEnable = true;
    s.pixelSortScope = ormel::SortScope::WholePicture;
    s.scanline = 0.4f;
    s.detectionScale = 2;
    cases.push_back({"whole-picture sort, reduced", s});
    s = base;
    s.sourceOpacity = 0.5f;
    cases.push_back({"half opacity", s});
    s = base;
    s.magnifierEnable = true;
    s.magnifierIntensity = 0.8f;
    s.magnifierFrequency = 1.0f;
    cases.push_back({"magnifier", s});
    s = base;
    s.pointInvertEnable = true;
    s.pointInvertIntensity = 1.0f;
    s.pointInvertFrequency = 1.0f;
    cases.push_back({"inversion", s});
    for (int mode : {1, 2}) {
        s = base;
        s.outputMode = static_cast<ormel::OutputMode>(mode);
        cases.push_back({"other output mode", s});
    }
    s = base;
    s.asciiMode = ormel::AsciiMode::Overlay;
    s.asciiAmount = 0.7f;
    cases.push_back({"ascii after the per-pixel pass", s});
    s = base;
    s.vignette = 0.4f;
    s.noise = 0.1f;
    s.vhsFlicker = 0.3f;
    s.invertAmount = 0.2f;
    cases.push_back({"every per-pixel stage", s});
    FrameScratch scratch;
    TraceResult consumed;
    for (const auto& [name, settings] : cases) {
        const TraceResult want = processFrame(source, {}, settings);
        Image given = source;
        processFrameConsuming(given, {}, settings, consumed, RowBands::single(), scratch);
        ASSERT_EQ(consumed.image.pixels.size(), want.image.pixels.size()) << name;
        EXPECT_EQ(std::memcmp(consumed.image.pixels.data(), want.image.pixels.data(),
                              want.image.pixels.size() * sizeof(Pixel)),
                  0)
            << name;
        EXPECT_EQ(consumed.tracks.size(), want.tracks.size()) << name;
        EXPECT_EQ(consumed.mask, want.mask) << name;
    }
}

// Rows of a caller's buffer: padded, either order, and starting 4 bytes past
// a 16-byte boundary or on one, so the last pass writes them with streaming
// and with ordinary stores alike.
struct RowBuffer {
    std::vector<float> floats;
    PictureRows rows;
    RowBuffer(int32_t width, int32_t height, int32_t padFloats, bool bottomUp, bool misaligned) {
        const std::ptrdiff_t stride = (static_cast<std::ptrdiff_t>(width) * 4 + padFloats) * 4;
        floats.assign(static_cast<size_t>(stride / 4 * height + 8), -7.0f);
        unsigned char* base = reinterpret_cast<unsigned char*>(floats.data());
        base += (16 - reinterpret_cast<uintptr_t>(base) % 16) % 16 + (misaligned ? 4 : 0);
        rows.first = bottomUp ? base + (height - 1) * stride : base;
        rows.rowBytes = bottomUp ? -stride : stride;
        rows.width = width;
        rows.height = height;
    }
    bool holds(const Image& image) const {
        for (int32_t y = 0; y < image.height; ++y)
            if (std::memcmp(rows.row(y), &image.at(0, y), static_cast<size_t>(image.width) * sizeof(Pixel)) != 0)
                return false;
        return true;
    }
    size_t untouched() const { return static_cast<size_t>(std::count(floats.begin(), floats.end(), -7.0f)); }
};

// Writing the finished picture straight into the caller's rows gives the bits
// the picture would have had, whichever stage comes last, and nothing else
// of the buffer changes; rows of another size are refused untouched.
TEST(ProcessFrameLayers, FinishedRowsGoStraightIntoTheCallersBuffer) {
    const Image source = rampWithTarget();
    const Settings base = marksAtTheTarget();
    std::vector<std::pair<const char*, Settings>> cases{{"plain", base}};
    Settings s = base;
    s.scanline = 0.4f;
    s.vignette = 0.3f;
    s.noise = 0.05f;
    cases.push_back({"every per-pixel stage", s});
    s = base;
    s.asciiMode = ormel::AsciiMode::Replace;
    s.asciiAmount = 0.9f;
    cases.push_back({"ascii", s});
    s = base;
    s.pixelSortEnable = true;
    s.pixelSortScope = ormel::SortScope::WholePicture;
    cases.push_back({"whole-picture sort", s});
    s = base;
    s.radialBlur = 0.5f;
    cases.push_back({"overlay layer", s});
    s = base;
    s.sourceOpacity = 0.5f;
    cases.push_back({"copying path", s});
    s = base;
    s.outputMode = ormel::OutputMode::Matte;
    cases.push_back({"matte", s});
    // Values beyond [0, 1] in the source, which the clamp must change.
    Image bright = source;
    for (int32_t x = 30; x < 60; ++x) bright.at(x, 40) = Pixel{1.5f, -0.25f, 2.0f, 1.0f};

    FrameScratch scratch;
    TraceResult result;
    for (const auto& [name, settings] : cases)
        for (const Image* picture : {&source, static_cast<const Image*>(&bright)})
            for (bool bottomUp : {false, true})
                for (bool misaligned : {false, true}) {
                    const Image want = processFrame(*picture, {}, settings).image;
                    RowBuffer out(picture->width, picture->height, 3, bottomUp, misaligned);
                    const size_t padding = out.untouched() - want.pixels.size() * 4;
                    Image given = *picture;
                    ASSERT_TRUE(processFrameConsuming(given, {}, settings, result, RowBands::single(), scratch,
                                                      &out.rows))
                        << name;
                    EXPECT_TRUE(out.holds(want)) << name << " bottomUp " << bottomUp << " misaligned " << misaligned;
                    EXPECT_EQ(out.untouched(), padding) << name;
                }

    RowBuffer narrow(source.width - 1, source.height, 0, true, false);
    const size_t before = narrow.untouched();
    Image given = source;
    EXPECT_FALSE(processFrameConsuming(given, {}, base, result, RowBands::single(), scratch, &narrow.rows));
    EXPECT_EQ(narrow.untouched(), before);
    EXPECT_EQ(std::memcmp(result.image.pixels.data(), processFrame(source, {}, base).image.pixels.data(),
                          source.pixels.size() * sizeof(Pixel)),
              0);
}

}  // namespace
}  // namespace ormel
