// Cost of the overlay on a full HD frame, next to one plain copy of the frame
// measured in the same run; the summary prints every figure as that ratio.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/types.h"
#include "overlay/hash.h"
#include "overlay/render_overlay.h"

namespace {

using ormel::Image;
using ormel::Settings;
using ormel::Track;

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;
constexpr int32_t kTracks = 128;

// Tracks spread over the frame with regions of 6 to 20 px radius and short trails.
std::vector<Track> benchTracks() {
    std::vector<Track> tracks;
    for (int32_t i = 0; i < kTracks; ++i) {
        Track t;
        t.id = i + 1;
        t.blob.id = t.id;
        const float x = 40.0f + ormel::hash01(i, 1, 0, 7) * (kWidth - 80);
        const float y = 40.0f + ormel::hash01(i, 2, 0, 7) * (kHeight - 80);
        const float r = 6.0f + 14.0f * ormel::hash01(i, 3, 0, 7);
        t.blob.center = {x, y};
        t.blob.area = static_cast<int32_t>(3.1415927f * r * r);
        t.blob.minX = static_cast<int32_t>(x - r);
        t.blob.maxX = static_cast<int32_t>(x + r) + 1;
        t.blob.minY = static_cast<int32_t>(y - r);
        t.blob.maxY = static_cast<int32_t>(y + r) + 1;
        for (int32_t k = 7; k >= 0; --k) t.trail.push_back({x - 6.0f * k, y + 3.0f * k});
        t.speed = 6.7f;
        tracks.push_back(t);
    }
    return tracks;
}

// The defaults with every pixel size multiplied by a HUD scale of 2, as
// sampling the parameters would do.
Settings defaultsAtScale2() {
    Settings s;
    s.hudScale = 2.0f;
    s.pointSize *= 2.0f;
    s.pointStroke *= 2.0f;
    s.pointSizeMin *= 2.0f;
    s.pointSizeMax *= 2.0f;
    s.boxStroke *= 2.0f;
    s.boxTextScale *= 2;
    s.boxTextSizeMin *= 2;
    s.boxTextSizeMax *= 2;
    s.boxTextOffset *= 2;
    s.lineWidth *= 2.0f;
    s.motifSpacing *= 2.0f;
    s.motifSize *= 2.0f;
    s.trailWidth *= 2.0f;
    s.labelScale *= 2;
    s.labelOffsetX *= 2;
    s.labelOffsetY *= 2;
    return s;
}

Settings everyLayerOn() {
    Settings s = defaultsAtScale2();
    s.temporalFrames = 8;
    s.drawBoxText = true;
    s.connectionMode = ormel::ConnectionMode::Mst;
    s.lineCurveMode = ormel::LineCurve::Arc;
    s.lineCurveAmount = 40.0f;
    s.lineMotif = ormel::LineMotif::Arrow;
    s.magnifierEnable = true;
    s.magnifierIntensity = 0.6f;
    s.pointFlashEnable = true;
    s.pointFlashIntensity = 0.8f;
    s.pointInvertEnable = true;
    s.pointInvertIntensity = 0.8f;
    return s;
}

void BM_MemcpyFrame(benchmark::State& state) {
    const Image from(kWidth, kHeight, ormel::Pixel{0.2f, 0.3f, 0.4f, 1.0f});
    Image to(kWidth, kHeight);
    const size_t bytes = from.pixels.size() * sizeof(ormel::Pixel);
    for (auto _ : state) {
        std::memcpy(to.pixels.data(), from.pixels.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

void runOverlay(benchmark::State& state, const Settings& settings) {
    const std::vector<Track> tracks = benchTracks();
    const Image src(kWidth, kHeight, ormel::Pixel{0.2f, 0.3f, 0.4f, 1.0f});
    // Drawing again over the same picture costs the same as over a fresh one.
    Image out = src;
    for (auto _ : state) {
        ormel::renderOverlay(out, src, tracks, settings);
        benchmark::DoNotOptimize(out.pixels.data());
        benchmark::ClobberMemory();
    }
}

void BM_RenderOverlayDefaults(benchmark::State& state) { runOverlay(state, defaultsAtScale2()); }

void BM_RenderOverlayEveryLayer(benchmark::State& state) { runOverlay(state, everyLayerOn()); }

// The same marks on a frame 16 times larger: the cost must follow the marks,
// not the frame.
void BM_RenderOverlayDefaultsHugeFrame(benchmark::State& state) {
    const std::vector<Track> tracks = benchTracks();
    const Settings settings = defaultsAtScale2();
    const Image src(kWidth, kHeight);
    Image out(kWidth * 4, kHeight * 4);
    for (auto _ : state) {
        ormel::renderOverlay(out, src, tracks, settings);
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderOverlayDefaults)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderOverlayEveryLayer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderOverlayDefaultsHugeFrame)->Unit(benchmark::kMillisecond);

// Prints, after the usual table, each benchmark's processor time as a
// multiple of the frame copy's (processor time, because the machines these
// run on are shared; with repetitions the medians are compared).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const std::string name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                times_[name] = run.GetAdjustedCPUTime();
                medians_[name] = true;
            } else if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !medians_[name]) {
                times_[name] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto copy = times_.find("BM_MemcpyFrame");
        if (copy == times_.end() || copy->second <= 0.0) return;
        std::printf("\nProcessor time as a multiple of one 1920x1080 float RGBA memcpy (%.3f ms):\n",
                    copy->second);
        for (const auto& [name, time] : times_) {
            std::printf("  %-40s %8.3f ms  %6.2fx\n", name.c_str(), time, time / copy->second);
        }
    }

private:
    std::map<std::string, double> times_;
    std::map<std::string, bool> medians_;
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
