// Screen treatments on a 1920 x 1080 float RGBA frame. Each benchmark copies the
// frame with std::memcpy before every run of its work, timed separately, and reports
// its time as a ratio to that copy ("x_memcpy"). Times are the thread's processor
// time, and both are taken in the same moments, so other processes on the machine
// distort the ratio far less than they distort wall-clock figures.
#include <time.h>

#include <cstring>

#include <benchmark/benchmark.h>

#include "engine/types.h"
#include "overlay/hash.h"
#include "treatments/pixel_sort.h"
#include "treatments/post_effects.h"
#include "treatments/radial_blur.h"
#include "treatments/screen_pass.h"

namespace {

using ormel::Image;
using ormel::Pixel;
using ormel::Settings;

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

// A busy picture: smooth gradients with hashed speckle so runs and cells vary.
Image benchFrame() {
    Image image(kWidth, kHeight);
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            const float n = ormel::hash01(x, y, 0, 5);
            image.at(x, y) = Pixel{static_cast<float>(x) / kWidth * 0.8f + 0.2f * n,
                                   static_cast<float>(y) / kHeight, n, 1.0f};
        }
    }
    return image;
}

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

Settings quiet() {
    Settings s;
    s.renderEngine = ormel::RenderEngine::Processor;
    return s;
}

// Restores the working image from the source with one memcpy (the yardstick), then
// runs the work; only the work counts as the benchmark's time.
template <typename Work>
void runAgainstMemcpy(benchmark::State& state, Work work) {
    const Image source = benchFrame();
    Image image = source;
    double copySeconds = 0.0, workSeconds = 0.0;
    for (auto _ : state) {
        const double start = threadSeconds();
        std::memcpy(static_cast<void*>(image.pixels.data()), source.pixels.data(),
                    source.pixels.size() * sizeof(Pixel));
        benchmark::ClobberMemory();
        const double copied = threadSeconds();
        work(image);
        benchmark::DoNotOptimize(image.pixels.data());
        benchmark::ClobberMemory();
        const double done = threadSeconds();
        copySeconds += copied - start;
        const double seconds = done - copied;
        workSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["x_memcpy"] = copySeconds > 0.0 ? workSeconds / copySeconds : 0.0;
}

// The yardstick on its own, for the absolute figure.
void BM_MemcpyFrame(benchmark::State& state) {
    const Image source = benchFrame();
    Image target(kWidth, kHeight);
    for (auto _ : state) {
        const double start = threadSeconds();
        std::memcpy(static_cast<void*>(target.pixels.data()), source.pixels.data(),
                    source.pixels.size() * sizeof(Pixel));
        benchmark::DoNotOptimize(target.pixels.data());
        benchmark::ClobberMemory();
        state.SetIterationTime(threadSeconds() - start);
    }
}

void BM_ScreenPassOnly(benchmark::State& state) {
    const Settings s = quiet();
    runAgainstMemcpy(state, [&](Image& image) { ormel::applyScreenPass(image, s); });
}

void BM_ChainEveryStage(benchmark::State& state) {
    Settings s = quiet();
    s.lensDistortion = 0.3f;
    s.fisheye = 0.2f;
    s.radialBlur = 0.4f;
    s.glitchAmount = 0.8f;
    s.chromaticAberration = 3.0f;
    s.scanline = 0.5f;
    s.noise = 0.1f;
    s.vignette = 0.4f;
    s.vhsFlicker = 0.5f;
    s.invertAmount = 0.1f;
    s.asciiMode = ormel::AsciiMode::Overlay;
    s.asciiAmount = 0.6f;
    s.asciiCellSize = 8;
    runAgainstMemcpy(state, [&](Image& image) { ormel::applyPostEffects(image, s); });
}

void BM_RadialBlurFull(benchmark::State& state) {
    Settings s = quiet();
    s.radialBlur = 1.0f;
    runAgainstMemcpy(state, [&](Image& image) { ormel::applyRadialBlur(image, s); });
}

void BM_PixelSortDefaults(benchmark::State& state) {
    Settings s = quiet();  // the sort's own defaults, on the whole frame, processor engine
    s.pixelSortEnable = true;
    s.pixelSortScope = ormel::SortScope::WholePicture;
    // Working memory kept from frame to frame, as the frame pipeline keeps it.
    ormel::PixelSortScratch scratch;
    runAgainstMemcpy(state, [&](Image& image) { ormel::applyPixelSort(image, s, ormel::RowBands::single(), scratch); });
}

// The two sorting passes alone (no softening, no glow), apart from the box blurs.
void BM_PixelSortPassesOnly(benchmark::State& state) {
    Settings s = quiet();
    s.pixelSortEnable = true;
    s.pixelSortScope = ormel::SortScope::WholePicture;
    s.pixelSortBlur = 0.0f;
    s.pixelSortGlow = 0.0f;
    runAgainstMemcpy(state, [&](Image& image) { ormel::applyPixelSort(image, s); });
}
BENCHMARK(BM_PixelSortPassesOnly)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK(BM_MemcpyFrame)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScreenPassOnly)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChainEveryStage)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RadialBlurFull)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PixelSortDefaults)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
