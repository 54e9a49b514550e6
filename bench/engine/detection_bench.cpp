#include <benchmark/benchmark.h>

#include "bench/engine/bench_frames.h"
#include "engine/detection.h"

namespace ormel {
namespace {

using bench_frames::kHeight;
using bench_frames::kWidth;

void BM_DetectBlobs40Discs(benchmark::State& state) {
    const Image frame = bench_frames::discFrame(kWidth, kHeight, 40, 0);
    Settings s;
    s.blurRadius = 1;
    s.dilateIterations = 1;
    size_t found = 0;
    for (auto _ : state) {
        std::vector<Blob> blobs = detectBlobs(frame, s);
        found = blobs.size();
        benchmark::DoNotOptimize(blobs.data());
    }
    state.counters["blobs"] = static_cast<double>(found);
    bench_frames::setPerPixel(state, static_cast<int64_t>(kWidth) * kHeight);
}

}  // namespace
}  // namespace ormel

BENCHMARK(ormel::bench_frames::BM_MemcpyFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(ormel::BM_DetectBlobs40Discs)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
