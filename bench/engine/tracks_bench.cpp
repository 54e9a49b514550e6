#include <benchmark/benchmark.h>

#include "bench/engine/bench_frames.h"
#include "engine/detection.h"
#include "pipeline/process_frame.h"
#include "engine/tracks.h"

namespace ormel {
namespace {

using bench_frames::kHeight;
using bench_frames::kWidth;

constexpr int32_t kEarlierFrames = 64;

const std::vector<FrameSample>& fullHistory() {
    static const std::vector<FrameSample> samples = [] {
        std::vector<FrameSample> s;
        for (int32_t i = 0; i < kEarlierFrames; ++i) {
            s.push_back({i, bench_frames::discFrame(kWidth, kHeight, 40, i)});
        }
        return s;
    }();
    return samples;
}

// processFrame with 64 earlier frames at detection factor state.range(0).
void BM_ProcessFrameTemporal64(benchmark::State& state) {
    const std::vector<FrameSample>& samples = fullHistory();
    const Image current = bench_frames::discFrame(kWidth, kHeight, 40, kEarlierFrames);
    Settings s;
    s.detectionScale = static_cast<int32_t>(state.range(0));
    s.temporalFrames = kEarlierFrames;
    s.frameNumber = kEarlierFrames;
    size_t tracks = 0;
    for (auto _ : state) {
        TraceResult result = processFrame(current, samples, s);
        tracks = result.tracks.size();
        benchmark::DoNotOptimize(result.image.pixels.data());
    }
    state.counters["tracks"] = static_cast<double>(tracks);
    bench_frames::setPerPixel(state, static_cast<int64_t>(kWidth) * kHeight);
}

// buildTracks alone over 64 earlier 480 x 270 frames holding state.range(0)
// small regions each, to show how matching grows with the region count.
void BM_BuildTracksRegions(benchmark::State& state) {
    const int32_t regions = static_cast<int32_t>(state.range(0));
    constexpr int32_t w = kWidth / 4;
    constexpr int32_t h = kHeight / 4;
    std::vector<FrameSample> samples;
    for (int32_t i = 0; i < kEarlierFrames; ++i) {
        samples.push_back({i, bench_frames::discFrame(w, h, regions, i / 4, 1.5f)});
    }
    const Image current = bench_frames::discFrame(w, h, regions, kEarlierFrames / 4, 1.5f);
    Settings s;
    s.temporalFrames = kEarlierFrames;
    s.frameNumber = kEarlierFrames;
    s.maxObjects = 1024;
    s.blurRadius = 0;
    s.dilateIterations = 0;
    s.minBlobArea = 1;
    s.trackingDistance = 90.0f / 4.0f;
    const std::vector<Blob> blobs = detectBlobs(current, s);
    size_t tracks = 0;
    for (auto _ : state) {
        std::vector<Track> result = buildTracks(samples, current, blobs, s);
        tracks = result.size();
        benchmark::DoNotOptimize(result.data());
    }
    state.counters["regions_now"] = static_cast<double>(blobs.size());
    state.counters["tracks"] = static_cast<double>(tracks);
}

}  // namespace
}  // namespace ormel

BENCHMARK(ormel::bench_frames::BM_MemcpyFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(ormel::BM_ProcessFrameTemporal64)->Arg(8)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ormel::BM_BuildTracksRegions)->Arg(10)->Arg(100)->Arg(512)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
