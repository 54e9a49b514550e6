// Spreading a frame over threads must not change a bit: every built-in look,
// every output mode, several band counts, frames of odd heights and of a
// single row or column, all against the one-band result.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pipeline/process_frame.h"
#include "overlay/hash.h"
#include "plugin/settings_sampling.h"
#include "presets/builtin_looks.h"
#include "presets/preset_apply.h"
#include "tests/plugin/memory_reader.h"
#include "tests/presets/memory_params.h"
#include "tests/support/thread_runners.h"

namespace ormel {
namespace {

using testing_support::reversedBands;
using testing_support::threadedBands;

Settings lookSettings(int look, int outputMode, double time) {
    MemoryParams params;
    applyBuiltinPreset(params, look);
    params.setValue("outputMode", choiceValue(outputMode));
    return sampleSettings(MemoryReader(params), time);
}

// A noisy gradient with discs in the colours the looks key (red, green,
// white, cyan), moved a little from frame to frame.
Image discFrame(int32_t width, int32_t height, int32_t frame) {
    Image image(width, height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const float n = hash01(x, y, frame, 3);
            image.at(x, y) = Pixel{0.1f + 0.3f * n, 0.15f * static_cast<float>(x % 7) / 7.0f,
                                   0.2f * static_cast<float>(y % 11) / 11.0f, 1.0f};
        }
    }
    const Pixel colours[] = {{1.0f, 0.05f, 0.02f, 1.0f},
                             {0.0f, 1.0f, 0.18f, 1.0f},
                             {1.0f, 1.0f, 1.0f, 1.0f},
                             {0.0f, 0.95f, 1.0f, 1.0f}};
    for (int32_t i = 0; i < 12; ++i) {
        const float cx = hash01(i, 1, 0, 9) * static_cast<float>(width) + 2.0f * static_cast<float>(frame);
        const float cy = hash01(i, 2, 0, 9) * static_cast<float>(height) + static_cast<float>(frame);
        const float r = 2.0f + 7.0f * hash01(i, 3, 0, 9);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                const float dx = static_cast<float>(x) - cx;
                const float dy = static_cast<float>(y) - cy;
                if (dx * dx + dy * dy <= r * r) image.at(x, y) = colours[i % 4];
            }
        }
    }
    return image;
}

std::vector<FrameSample> history(int32_t width, int32_t height, int32_t frame) {
    std::vector<FrameSample> samples;
    for (int32_t k = 3; k >= 1; --k) samples.push_back({frame - k, discFrame(width, height, frame - k)});
    return samples;
}

bool sameBits(const void* a, const void* b, size_t bytes) { return bytes == 0 || std::memcmp(a, b, bytes) == 0; }

// Bit-for-bit, NaN payloads and signed zeros included.
void expectSameResult(const TraceResult& want, const TraceResult& got, const std::string& what) {
    ASSERT_EQ(want.image.width, got.image.width) << what;
    ASSERT_EQ(want.image.height, got.image.height) << what;
    ASSERT_EQ(want.image.pixels.size(), got.image.pixels.size()) << what;
    EXPECT_TRUE(sameBits(want.image.pixels.data(), got.image.pixels.data(), want.image.pixels.size() * sizeof(Pixel)))
        << what;
    ASSERT_EQ(want.mask.size(), got.mask.size()) << what;
    EXPECT_TRUE(sameBits(want.mask.data(), got.mask.data(), want.mask.size() * sizeof(float))) << what;
    ASSERT_EQ(want.blobs.size(), got.blobs.size()) << what;
    EXPECT_TRUE(sameBits(want.blobs.data(), got.blobs.data(), want.blobs.size() * sizeof(Blob))) << what;
    ASSERT_EQ(want.tracks.size(), got.tracks.size()) << what;
    for (size_t i = 0; i < want.tracks.size(); ++i) {
        EXPECT_EQ(want.tracks[i].id, got.tracks[i].id) << what;
        EXPECT_EQ(want.tracks[i].trail.size(), got.tracks[i].trail.size()) << what;
    }
}

struct FrameSize {
    int32_t width;
    int32_t height;
};

void checkEveryLookAndMode(const std::vector<FrameSize>& sizes) {
    const int32_t frame = 7;
    for (const FrameSize& size : sizes) {
        const Image source = discFrame(size.width, size.height, frame);
        const std::vector<FrameSample> samples = history(size.width, size.height, frame);
        for (int look = 0; look < kBuiltinLookCount; ++look) {
            for (int mode = 0; mode < 3; ++mode) {
                Settings settings = lookSettings(look, mode, frame);
                const TraceResult want = processFrame(source, samples, settings);
                const std::string base = std::to_string(size.width) + "x" + std::to_string(size.height) +
                                         " look " + std::to_string(look) + " mode " + std::to_string(mode);
                if (look == 0 && mode == 0 && size.width > 8 && size.height > 8) {
                    // The comparison means something only if the picture was drawn on.
                    EXPECT_FALSE(want.tracks.empty()) << base;
                }
                for (int32_t n : {1, 2, 3, 8}) {
                    expectSameResult(want, processFrame(source, samples, settings, threadedBands(n)),
                                     base + " threads " + std::to_string(n));
                }
                expectSameResult(want, processFrame(source, samples, settings, reversedBands(5)),
                                 base + " bands reversed");
            }
        }
    }
}

TEST(ThreadEquality, EveryLookAndModeOnOddHeights) { checkEveryLookAndMode({{160, 91}, {67, 33}}); }

TEST(ThreadEquality, EveryLookAndModeOnOneRowOrColumn) {
    checkEveryLookAndMode({{1, 1}, {97, 1}, {1, 45}, {2, 3}});
}

// Every treatment switched on at once, including the overlay on its own layer
// (radial blur) and the pixel sort in both scopes and both directions.
TEST(ThreadEquality, EveryTreatmentAtOnce) {
    const int32_t frame = 4;
    const Image source = discFrame(131, 77, frame);
    const std::vector<FrameSample> samples = history(131, 77, frame);
    for (int scope = 0; scope < 2; ++scope) {
        for (int direction = 0; direction < 3; ++direction) {
            Settings s = lookSettings(9, 0, frame);
            s.detectionScale = 1;
            s.lensDistortion = 0.3f;
            s.fisheye = 0.2f;
            s.radialBlur = 0.6f;
            s.glitchAmount = 0.9f;
            s.chromaticAberration = 3.0f;
            s.scanline = 0.5f;
            s.noise = 0.1f;
            s.vignette = 0.4f;
            s.vhsFlicker = 0.5f;
            s.invertAmount = 0.1f;
            s.asciiMode = static_cast<ormel::AsciiMode>(1 + direction % 2);
            s.asciiAmount = 0.6f;
            s.asciiCellSize = 7;
            s.pixelSortEnable = true;
            s.renderEngine = ormel::RenderEngine::Processor;
            s.pixelSortScope = static_cast<ormel::SortScope>(scope);
            s.pixelSortDirection = static_cast<ormel::SortDirection>(direction);
            s.magnifierEnable = true;
            s.magnifierIntensity = 0.7f;
            s.pointFlashEnable = true;
            s.pointFlashIntensity = 0.8f;
            s.pointInvertEnable = true;
            s.pointInvertIntensity = 0.8f;
            s.drawBoxText = true;
            s.erodeIterations = 1;
            s.dilateIterations = 3;
            s.blurRadius = 6;
            s.sourceOpacity = 0.7f;
            const TraceResult want = processFrame(source, samples, s);
            for (int32_t n : {2, 3, 8}) {
                expectSameResult(want, processFrame(source, samples, s, threadedBands(n)),
                                 "scope " + std::to_string(scope) + " direction " + std::to_string(direction) +
                                     " threads " + std::to_string(n));
            }
            expectSameResult(want, processFrame(source, samples, s, reversedBands(6)), "reversed");
        }
    }
}

}  // namespace
}  // namespace ormel
