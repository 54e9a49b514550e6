#include <benchmark/benchmark.h>

#include "bench/engine/bench_frames.h"
#include "pipeline/process_frame.h"

namespace ormel {
namespace {

using bench_frames::kHeight;
using bench_frames::kWidth;

// What the default parameters give: detection at an eighth, no temporal frames.
Settings defaultParameterSettings() {
    Settings s;
    s.detectionScale = 8;
    s.temporalFrames = 0;
    s.maxObjects = 128;
    s.outputMode = ormel::OutputMode::OriginalAndOverlay;
    return s;
}

void BM_ProcessFrameDefaults(benchmark::State& state) {
    const Image frame = bench_frames::discFrame(kWidth, kHeight, 40, 0);
    const Settings s = defaultParameterSettings();
    for (auto _ : state) {
        TraceResult result = processFrame(frame, {}, s);
        benchmark::DoNotOptimize(result.image.pixels.data());
    }
    bench_frames::setPerPixel(state, static_cast<int64_t>(kWidth) * kHeight);
}

}  // namespace
}  // namespace ormel

BENCHMARK(ormel::bench_frames::BM_MemcpyFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(ormel::BM_ProcessFrameDefaults)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
