// Screen treatments on a 1920 x 1080 float RGBA frame. Every figure is also printed
// as a ratio to one std::memcpy of the same frame measured in this run.
#include <cstring>
#include <map>
#include <string>
#include <vector>

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
const char* const kBaseline = "BM_MemcpyFrame";

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

Settings quiet() {
    Settings s;
    s.pixelSortEnable = false;
    s.renderEngine = 0;
    return s;
}

void BM_MemcpyFrame(benchmark::State& state) {
    const Image source = benchFrame();
    Image target(kWidth, kHeight);
    for (auto _ : state) {
        std::memcpy(target.pixels.data(), source.pixels.data(), source.pixels.size() * sizeof(Pixel));
        benchmark::DoNotOptimize(target.pixels.data());
        benchmark::ClobberMemory();
    }
}

void BM_ScreenPassOnly(benchmark::State& state) {
    Image image = benchFrame();
    const Settings s = quiet();
    for (auto _ : state) {
        ormel::applyScreenPass(image, s);
        benchmark::DoNotOptimize(image.pixels.data());
        benchmark::ClobberMemory();
    }
}

void BM_ChainEveryStage(benchmark::State& state) {
    const Image source = benchFrame();
    Image image = source;
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
    s.asciiMode = 1;
    s.asciiAmount = 0.6f;
    s.asciiCellSize = 8;
    for (auto _ : state) {
        state.PauseTiming();
        image = source;
        state.ResumeTiming();
        ormel::applyPostEffects(image, s);
        benchmark::DoNotOptimize(image.pixels.data());
    }
}

void BM_RadialBlurFull(benchmark::State& state) {
    const Image source = benchFrame();
    Image image = source;
    Settings s = quiet();
    s.radialBlur = 1.0f;
    for (auto _ : state) {
        state.PauseTiming();
        image = source;
        state.ResumeTiming();
        ormel::applyRadialBlur(image, s);
        benchmark::DoNotOptimize(image.pixels.data());
    }
}

void BM_PixelSortDefaults(benchmark::State& state) {
    const Image source = benchFrame();
    Image image = source;
    Settings s;  // default sort settings
    s.pixelSortEnable = true;
    s.pixelSortScope = 1;
    s.renderEngine = 0;
    for (auto _ : state) {
        state.PauseTiming();
        image = source;
        state.ResumeTiming();
        ormel::applyPixelSort(image, s);
        benchmark::DoNotOptimize(image.pixels.data());
    }
}

BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScreenPassOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChainEveryStage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RadialBlurFull)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PixelSortDefaults)->Unit(benchmark::kMillisecond);

// Console output as usual, then each benchmark's real time divided by the memcpy's.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // With --benchmark_repetitions the fastest repetition stands for the benchmark: on a
    // shared machine the slower ones mostly measure other processes.
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            const std::string name = run.run_name.function_name;
            const double time = run.GetAdjustedRealTime();
            if (times_.count(name) == 0) {
                order_.push_back(name);
                times_[name] = time;
            } else if (time < times_[name]) {
                times_[name] = time;
            }
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        auto base = times_.find(kBaseline);
        if (base == times_.end() || base->second <= 0.0) return;
        std::printf("\nRatio to one memcpy of a %dx%d float RGBA frame (%.3f ms):\n", kWidth, kHeight, base->second);
        for (const std::string& name : order_) {
            std::printf("  %-28s %8.2fx\n", name.c_str(), times_[name] / base->second);
        }
    }

private:
    std::map<std::string, double> times_;
    std::vector<std::string> order_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
