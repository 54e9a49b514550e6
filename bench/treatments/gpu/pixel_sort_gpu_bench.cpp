// Full HD frame with the pixel sort values of the "Pixel Sort Rouge" look.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/treatments/gpu/memcpy_ratio_reporter.h"
#include "overlay/hash.h"
#include "treatments/gpu/pixel_sort_params.h"
#include "treatments/gpu/pixel_sort_reference.h"
#if defined(VARNOK_BENCH_PROCESSOR_SORT)
#include "treatments/pixel_sort.h"
#endif
#if defined(VARNOK_BENCH_OPENCL)
#include "treatments/gpu/opencl_runtime.h"
#include "treatments/gpu/pixel_sort_opencl.h"
#endif

namespace ormel {
namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

// Bright diagonal bands over dark hashed noise: about half the pixels pass
// the threshold, in runs of varied length.
const Image& frame() {
    static const Image image = [] {
        Image out(kWidth, kHeight);
        for (int32_t y = 0; y < kHeight; ++y) {
            for (int32_t x = 0; x < kWidth; ++x) {
                const float n = hash01(x, y, 1, 2);
                const bool band = ((x + 2 * y) / 90) % 2 == 0;
                const float level = band ? 0.35f + 0.65f * n : 0.05f * n;
                out.at(x, y) = {level, level * 0.8f, level * 0.6f, band ? 1.0f : 0.0f};
            }
        }
        return out;
    }();
    return image;
}

Settings rouge() {
    Settings s;
    s.pixelSortEnable = true;
    s.pixelSortScope = ormel::SortScope::WholePicture;
    s.pixelSortColor = {1.0f, 0.02f, 0.0f, 1.0f};
    s.pixelSortAmount = 0.82f;
    s.pixelSortLength = 128;
    s.pixelSortRandomAmount = 0.72f;
    s.pixelSortBlur = 0.24f;
    s.pixelSortGlow = 1.15f;
    return s;
}

void BM_FrameMemcpy(benchmark::State& state) {
    const Image& source = frame();
    Image target(kWidth, kHeight);
    for (auto _ : state) {
        std::memcpy(static_cast<void*>(target.pixels.data()), source.pixels.data(),
                    source.pixels.size() * sizeof(Pixel));
        benchmark::DoNotOptimize(target.pixels.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FrameMemcpy)->Unit(benchmark::kMillisecond)->UseRealTime();

#if defined(VARNOK_BENCH_PROCESSOR_SORT)
void BM_PixelSortProcessor(benchmark::State& state) {
    Settings settings = rouge();
    settings.renderEngine = ormel::RenderEngine::Processor;
    Image image;
    for (auto _ : state) {
        state.PauseTiming();
        image = frame();
        state.ResumeTiming();
        applyPixelSort(image, settings);
        benchmark::DoNotOptimize(image.pixels.data());
    }
}
BENCHMARK(BM_PixelSortProcessor)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

#if defined(VARNOK_BENCH_OPENCL)
// Per call: kernels, queue and buffers made, frame copied in and out, both passes.
void BM_PixelSortOpenCl(benchmark::State& state) {
    if (openClRuntime().state != OpenClState::kReady) {
        state.SkipWithError("no usable OpenCL device");
        return;
    }
    const Settings settings = rouge();
    Image image;
    for (auto _ : state) {
        state.PauseTiming();
        image = frame();
        state.ResumeTiming();
        if (!applyPixelSortOpenCl(image, settings)) {
            state.SkipWithError("OpenCL declined the frame");
            break;
        }
        benchmark::DoNotOptimize(image.pixels.data());
    }
}
BENCHMARK(BM_PixelSortOpenCl)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

// The kernel arithmetic alone, one thread, no device.
void BM_PixelSortKernelsCpp(benchmark::State& state) {
    const Params params = makePixelSortParams(frame(), rouge());
    for (auto _ : state) {
        Image out = runPixelSortKernelsReference(frame(), params);
        benchmark::DoNotOptimize(out.pixels.data());
    }
}
BENCHMARK(BM_PixelSortKernelsCpp)->Unit(benchmark::kMillisecond)->UseRealTime();

#if defined(VARNOK_BENCH_OPENCL)
// What the first render of a process pays on top of a later one: the
// program build and, on runtimes that generate device code at the first
// launch (PoCL), that code generation. Measured as build plus one render of
// a single 16 x 16 group.
void BM_OpenClProgramBuild(benchmark::State& state) {
    const OpenClRuntime& runtime = openClRuntime();
    if (runtime.state != OpenClState::kReady) {
        state.SkipWithError("no usable OpenCL device");
        return;
    }
    const Image tile = [] {
        Image out(16, 16);
        for (int32_t i = 0; i < 256; ++i) out.pixels[static_cast<size_t>(i)] = frame().pixels[static_cast<size_t>(i)];
        return out;
    }();
    const Settings settings = rouge();
    for (auto _ : state) {
        std::string log;
        ocl::Program program = buildPixelSortProgram(runtime.api, runtime.context, runtime.device, log);
        if (program == nullptr) {
            state.SkipWithError(("build failed: " + log).c_str());
            break;
        }
        Image image = tile;
        const bool ran = applyPixelSortWithProgram(runtime, program, image, settings);
        runtime.api.releaseProgram(program);
        if (!ran) {
            state.SkipWithError("first launch failed");
            break;
        }
    }
}
BENCHMARK(BM_OpenClProgramBuild)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
#endif

}  // namespace
}  // namespace ormel

int main(int argc, char** argv) {
    // PoCL keeps compiled kernels on disk; without this the build benchmark
    // would time a cache lookup instead of the compile a fresh machine pays.
#if defined(VARNOK_BENCH_OPENCL) && !defined(_WIN32)
    setenv("POCL_KERNEL_CACHE", "0", 0);
    // Processor OpenCL devices are opt-in; here they are what there is to measure.
    setenv("VARNOK_OPENCL_DEVICE", "any", 0);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    ormel::MemcpyRatioReporter reporter("BM_FrameMemcpy/real_time");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
