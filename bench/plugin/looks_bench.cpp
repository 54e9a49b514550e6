// Every built-in look through the frame pipeline on a 1920 x 1080 frame as the
// plug-in runs it in a sequential render (its own copy of the source made
// and then used up by the render, result memory reused, earlier frames'
// regions already known, the finished picture left in the host's output
// image), on one thread and on two of the host's workers (the threads the
// multithread suite lends the plug-in). Wall time, since the point is how much sooner a frame
// is ready; the summary gives each look's two-thread time as a ratio to its
// one-thread time measured in the same run, and both against one memcpy of
// the frame.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "engine/reduction.h"
#include "pipeline/earlier_regions.h"
#include "pipeline/process_frame.h"
#include "host/worker_pool.h"
#include "overlay/hash.h"
#include "plugin/image_transfer.h"
#include "plugin/image_transfer_bands.h"
#include "plugin/settings_sampling.h"
#include "presets/builtin_looks.h"
#include "presets/preset_apply.h"
#include "presets/param_access.h"
#include "catalogue/param_catalogue.h"

namespace {

using ormel::Image;
using ormel::Pixel;

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;
constexpr int32_t kFrame = 12;
// Earlier frames held for the temporal look; more only adds memory, the cost
// per frame is in the current one.
constexpr int32_t kMaxHistory = 4;

// Parameters as a plain table at the catalogue defaults, with a look applied.
class TableParams : public ormel::ParamAccess, public ormel::ParamReader {
public:
    TableParams() {
        for (const ormel::ParamSpec& s : ormel::paramCatalogue()) {
            ormel::PresetValue v;
            switch (s.kind) {
                case ormel::ParamKind::Rgb: v = ormel::rgbValue(s.defaultRgb[0], s.defaultRgb[1], s.defaultRgb[2]); break;
                case ormel::ParamKind::Boolean: v = ormel::boolValue(s.defaultValue != 0.0); break;
                case ormel::ParamKind::Integer: v = ormel::integerValue(static_cast<int>(s.defaultValue)); break;
                case ormel::ParamKind::Choice: v = ormel::choiceValue(static_cast<int>(s.defaultValue)); break;
                case ormel::ParamKind::Double: v = ormel::doubleValue(s.defaultValue); break;
                default: v = ormel::textValue(""); break;
            }
            values_[s.name] = v;
        }
    }
    ormel::PresetValue value(const std::string& n) const override { return values_.at(n); }
    ormel::PresetValue valueAt(const std::string& n, double) const override { return values_.at(n); }
    void setValue(const std::string& n, const ormel::PresetValue& v) override { values_[n] = v; }
    double getDouble(const std::string& n) const override { return values_.at(n).number; }
    int getInt(const std::string& n) const override { return values_.at(n).integer; }
    bool getBool(const std::string& n) const override { return values_.at(n).flag; }
    int getChoice(const std::string& n) const override { return values_.at(n).integer; }
    std::array<double, 3> getRgb(const std::string& n) const override { return values_.at(n).rgb; }

private:
    std::map<std::string, ormel::PresetValue> values_;
};

ormel::Settings lookSettings(int look) {
    TableParams params;
    ormel::applyBuiltinPreset(params, look);
    return ormel::sampleSettings(params, kFrame);
}

// Texture with discs in each colour the looks key (red, green, white, cyan).
Image lookFrame(int32_t frame) {
    Image image(kWidth, kHeight);
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            const float n = ormel::hash01(x, y, 0, 3);
            image.at(x, y) = Pixel{0.1f + 0.25f * n, 0.2f * static_cast<float>(y) / kHeight, 0.3f * n, 1.0f};
        }
    }
    const Pixel colours[] = {{0.95f, 0.05f, 0.03f, 1.0f}, {0.0f, 1.0f, 0.18f, 1.0f}, {1.0f, 1.0f, 1.0f, 1.0f},
                             {0.0f, 0.95f, 1.0f, 1.0f}};
    for (int32_t i = 0; i < 48; ++i) {
        const float cx = 40.0f + ormel::hash01(i, 1, 0, 9) * (kWidth - 80) + 3.0f * static_cast<float>(frame);
        const float cy = 40.0f + ormel::hash01(i, 2, 0, 9) * (kHeight - 80);
        const float r = 8.0f + 20.0f * ormel::hash01(i, 3, 0, 9);
        for (int32_t y = static_cast<int32_t>(cy - r); y <= static_cast<int32_t>(cy + r); ++y) {
            for (int32_t x = static_cast<int32_t>(cx - r); x <= static_cast<int32_t>(cx + r); ++x) {
                const float dx = static_cast<float>(x) - cx, dy = static_cast<float>(y) - cy;
                if (x >= 0 && y >= 0 && x < kWidth && y < kHeight && dx * dx + dy * dy <= r * r)
                    image.at(x, y) = colours[i % 4];
            }
        }
    }
    return image;
}

struct Frames {
    Image current = lookFrame(kFrame);
    std::vector<ormel::FrameSample> history;
    Frames() {
        for (int32_t k = kMaxHistory; k >= 1; --k) history.push_back({kFrame - k, lookFrame(kFrame - k)});
    }
};

const Frames& frames() {
    static const Frames f;
    return f;
}

// The source as a host lends it: float RGBA, the bottom row's address with
// the rows stored top first, so the plug-in's read copies it row for row.
ormel::HostImageAccess hostView(const Image& image) {
    ormel::HostImageAccess access;
    const size_t stride = static_cast<size_t>(image.width) * sizeof(Pixel);
    access.data = const_cast<Pixel*>(image.pixels.data()) + static_cast<size_t>(image.height - 1) * image.width;
    access.x2 = image.width;
    access.y2 = image.height;
    access.rowBytes = -static_cast<int>(stride);
    access.floatRgba = true;
    return access;
}

// The earlier frames' regions as a labelling host's plug-in has them in a
// sequential render: detected once, then found in its cache.
std::vector<ormel::FrameRegions> earlierRegions(const ormel::Settings& settings) {
    const Frames& f = frames();
    const int32_t count = std::min<int32_t>(kMaxHistory, std::max(settings.temporalFrames, 0));
    ormel::SampleFrames history(f.history, ormel::detectionFactor(settings), ormel::RowBands::single());
    std::deque<Image> spares;
    std::vector<ormel::FrameRegions> earlier;
    ormel::collectEarlierRegions(history, count, f.current.width, f.current.height, settings,
                                 ormel::RowBands::single(), spares, earlier);
    return earlier;
}

// The host's output image, bottom-up as the source.
struct HostOutput {
    Image pixels{kWidth, kHeight};
    ormel::HostImageAccess access = hostView(pixels);
};

// One frame of the plug-in's render: the source copied in, the frame
// processed, and the finished picture in the host's output image.
void renderAsThePlugInDoes(const ormel::HostImageAccess& source, Image& working,
                           const std::vector<ormel::FrameRegions>& earlier, const ormel::Settings& settings,
                           ormel::TraceResult& r, const ormel::RowBands& bands, ormel::FrameScratch& scratch,
                           HostOutput& output) {
    ormel::readHostImageInto(source, working, bands);
    const ormel::PictureRows rows = ormel::hostPictureRows(output.access);
    if (!ormel::processFrameConsuming(working, earlier, settings, r, bands, scratch, &rows)) {
        ormel::writeHostImage(r.image, output.access, bands);
    }
    benchmark::DoNotOptimize(output.pixels.pixels.data());
}

ormel::RowBands workerBands(unsigned threads) {
    ormel::RowBands bands;
    if (threads < 2) return bands;
    bands.bands = static_cast<int32_t>(4 * threads);  // as the plug-in cuts them
    bands.runJobs = [](int32_t count, const std::function<void(int32_t)>& job) {
        ofxhost::runOnWorkers(static_cast<unsigned>(count), [&](unsigned i) { job(static_cast<int32_t>(i)); });
    };
    return bands;
}

double processSeconds() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           1e-6 * static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec);
}

void BM_MemcpyFrame(benchmark::State& state) {
    const Image& src = frames().current;
    Image dst(kWidth, kHeight);
    for (auto _ : state) {
        std::memcpy(static_cast<void*>(dst.pixels.data()), src.pixels.data(), src.pixels.size() * sizeof(Pixel));
        benchmark::DoNotOptimize(dst.pixels.data());
        benchmark::ClobberMemory();
    }
}

// Arguments: the look, then the number of threads.
void BM_Look(benchmark::State& state) {
    const int look = static_cast<int>(state.range(0));
    const unsigned threads = static_cast<unsigned>(state.range(1));
    ofxhost::setWorkerCount(threads);
    ormel::Settings settings = lookSettings(look);
    settings.renderEngine = ormel::RenderEngine::Processor;  // the processor path, the one split over threads
    const Frames& f = frames();
    const std::vector<ormel::FrameRegions> earlier = earlierRegions(settings);
    ormel::TraceResult r;
    ormel::FrameScratch scratch;
    Image working;
    const ormel::HostImageAccess source = hostView(f.current);
    HostOutput output;
    const ormel::RowBands bands = workerBands(threads);
    // Processor time of every thread of the process: the work a frame costs,
    // whatever share of the machine the threads got.
    const double before = processSeconds();
    for (auto _ : state) {
        renderAsThePlugInDoes(source, working, earlier, settings, r, bands, scratch, output);
    }
    state.counters["all_threads_cpu_ms"] =
        1e3 * (processSeconds() - before) / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.SetLabel(ormel::builtinLooks()[static_cast<size_t>(look)].name);
}

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Every band on the calling thread, timed: the share of a frame's processor
// time spent inside bands is what more threads can divide, the rest runs on
// one thread whatever their number. Unlike wall time on a shared machine,
// the share does not depend on whether a second core is free.
void BM_LookParallelShare(benchmark::State& state) {
    const int look = static_cast<int>(state.range(0));
    ormel::Settings settings = lookSettings(look);
    settings.renderEngine = ormel::RenderEngine::Processor;
    const Frames& f = frames();
    const std::vector<ormel::FrameRegions> earlier = earlierRegions(settings);
    ormel::TraceResult r;
    ormel::FrameScratch scratch;
    Image working;
    const ormel::HostImageAccess source = hostView(f.current);
    HostOutput output;
    double inBands = 0.0, total = 0.0, batches = 0.0;
    int depth = 0;
    ormel::RowBands bands;
    bands.bands = 8;
    bands.runJobs = [&](int32_t count, const std::function<void(int32_t)>& job) {
        const bool outermost = depth++ == 0;
        const double start = threadSeconds();
        for (int32_t i = 0; i < count; ++i) job(i);
        if (outermost) {
            inBands += threadSeconds() - start;
            ++batches;
        }
        --depth;
    };
    for (auto _ : state) {
        const double start = threadSeconds();
        renderAsThePlugInDoes(source, working, earlier, settings, r, bands, scratch, output);
        total += threadSeconds() - start;
    }
    state.counters["parallel_share"] = total > 0.0 ? inBands / total : 0.0;
    // Each batch wakes the host's threads once: their start-up latency is paid per batch.
    state.counters["batches/frame"] = batches / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.SetLabel(ormel::builtinLooks()[static_cast<size_t>(look)].name);
}

// Yardsticks for the two-thread ratio: a fixed amount of perfectly parallel
// work of one kind, cut into the plug-in's bands and run on one or two of the
// host's workers. Their 2 / 1 is the best a look made of that kind of work can
// reach here: 0.5 on two free cores, more where the two share a core's
// execution units or caches, or the memory bus.
enum class Yardstick { Arithmetic, CacheCopy, MemoryCopy };
constexpr int32_t kYardstickUnits = 16;

// Independent multiply-adds, more than the core's units can start per cycle.
float arithmeticUnit(int32_t unit) {
    typedef float Lanes __attribute__((vector_size(16)));
    Lanes acc[16];
    for (int k = 0; k < 16; ++k) acc[k] = Lanes{1.0f, 2.0f, 3.0f, 4.0f} * static_cast<float>(unit + k);
    const Lanes m = {0.9999f, 0.9999f, 0.9999f, 0.9999f}, c = {1e-4f, 1e-4f, 1e-4f, 1e-4f};
    for (int i = 0; i < 200000; ++i) {
        for (int k = 0; k < 16; ++k) acc[k] = acc[k] * m + c;
    }
    Lanes sum = acc[0];
    for (int k = 1; k < 16; ++k) sum += acc[k];
    return sum[0] + sum[1] + sum[2] + sum[3];
}

void BM_TwoThreadYardstick(benchmark::State& state) {
    const Yardstick kind = static_cast<Yardstick>(state.range(0));
    const unsigned threads = static_cast<unsigned>(state.range(1));
    ofxhost::setWorkerCount(threads);
    const ormel::RowBands bands = workerBands(threads);
    const Image& frame = frames().current;
    Image copy(kWidth, kHeight);
    const size_t unitPixels = frame.pixels.size() / kYardstickUnits;
    std::vector<std::vector<Pixel>> cached(kYardstickUnits, std::vector<Pixel>(8192));  // 128 KB each
    std::vector<float> sink(kYardstickUnits);
    for (auto _ : state) {
        bands.forEachBand(kYardstickUnits, [&](ormel::Band band) {
            for (int32_t unit = band.begin; unit < band.end; ++unit) {
                switch (kind) {
                    case Yardstick::Arithmetic: sink[static_cast<size_t>(unit)] = arithmeticUnit(unit); break;
                    case Yardstick::CacheCopy: {
                        std::vector<Pixel>& own = cached[static_cast<size_t>(unit)];
                        std::vector<Pixel> other(own.size());
                        for (int i = 0; i < 200; ++i) {
                            std::memcpy(static_cast<void*>(other.data()), own.data(), own.size() * sizeof(Pixel));
                            std::memcpy(static_cast<void*>(own.data()), other.data(), own.size() * sizeof(Pixel));
                        }
                        break;
                    }
                    case Yardstick::MemoryCopy:
                        std::memcpy(static_cast<void*>(copy.pixels.data() + unitPixels * static_cast<size_t>(unit)),
                                    frame.pixels.data() + unitPixels * static_cast<size_t>(unit), unitPixels * sizeof(Pixel));
                        break;
                }
            }
        });
        benchmark::DoNotOptimize(sink.data());
        benchmark::DoNotOptimize(copy.pixels.data());
        benchmark::ClobberMemory();
    }
    static const char* const names[] = {"arithmetic", "copy within the caches", "copy through memory"};
    state.SetLabel(names[state.range(0)]);
}

double fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "min" || run.error_occurred) continue;
            const std::string& args = run.run_name.args;
            const std::string key = run.run_name.function_name + (args.empty() ? "" : "/" + args);
            ms_[key] = run.GetAdjustedRealTime();
            const auto share = run.counters.find("parallel_share");
            if (share != run.counters.end()) share_[key] = share->second.value;
            const auto cpu = run.counters.find("all_threads_cpu_ms");
            if (cpu != run.counters.end()) cpu_[key] = cpu->second.value;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double copy = ms_["BM_MemcpyFrame"];
        if (copy <= 0.0) return;
        std::printf("\nFastest of 5 (wall time); one memcpy of the frame: %.3f ms. The cpu columns are the\n"
                    "processor time of all threads per frame (the fastest repetition's), in ms.\n", copy);
        std::printf("The last two columns: the share of one thread's processor time spent in bands, and the\n"
                    "two-thread time it allows at best as a ratio to one thread (1 - share / 2).\n");
        std::printf("  %-26s %9s %9s %9s %9s %8s %11s %11s %8s %8s\n", "look", "1 thr ms", "2 thr ms", "1 thr x", "2 thr x",
                    "2 / 1", "cpu 1 thr", "cpu 2 thr", "share", "bound");
        for (int look = 0; look < ormel::kBuiltinLookCount; ++look) {
            const std::string base = "BM_Look/" + std::to_string(look) + "/";
            const double one = ms_[base + "1"];
            const double two = ms_[base + "2"];
            if (one <= 0.0 || two <= 0.0) continue;
            const std::string shareKey = "BM_LookParallelShare/" + std::to_string(look);
            const double share = share_.count(shareKey) ? share_[shareKey] : 0.0;
            std::printf("  %-26s %9.2f %9.2f %9.2f %9.2f %8.2f %11.2f %11.2f %8.2f %8.2f\n",
                        ormel::builtinLooks()[static_cast<size_t>(look)].name.c_str(), one, two, one / copy,
                        two / copy, two / one, cpu_[base + "1"], cpu_[base + "2"], share, 1.0 - share / 2.0);
        }
        std::printf("\nPerfectly parallel work of one kind, two threads against one (0.5 on two free cores):\n");
        static const char* const kinds[] = {"arithmetic", "copy within the caches", "copy through memory"};
        for (int kind = 0; kind < 3; ++kind) {
            const std::string base = "BM_TwoThreadYardstick/" + std::to_string(kind) + "/";
            const double one = ms_[base + "1"], two = ms_[base + "2"];
            if (one > 0.0 && two > 0.0) std::printf("  %-26s %8.2f\n", kinds[kind], two / one);
        }
    }

private:
    std::map<std::string, double> ms_;
    std::map<std::string, double> cpu_;
    std::map<std::string, double> share_;
};

}  // namespace

BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)
    ->ReportAggregatesOnly(true)->ComputeStatistics("min", fastest);
// One and two threads of the same look run next to each other, so both see
// the same load from the rest of the machine.
BENCHMARK(BM_Look)->ArgsProduct({benchmark::CreateDenseRange(0, ormel::kBuiltinLookCount - 1, 1), {1, 2}})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", fastest);

BENCHMARK(BM_TwoThreadYardstick)->ArgsProduct({{0, 1, 2}, {1, 2}})->Unit(benchmark::kMillisecond)->UseRealTime()
    ->Repetitions(5)->ReportAggregatesOnly(true)->ComputeStatistics("min", fastest);

BENCHMARK(BM_LookParallelShare)->DenseRange(0, ormel::kBuiltinLookCount - 1, 1)->Unit(benchmark::kMillisecond)
    ->Repetitions(3)->ReportAggregatesOnly(true)->ComputeStatistics("min", fastest);

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // The allocator settings varnok runs the plug-in with: whole-frame buffers
    // are reused instead of costing fresh zeroed pages each frame.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
