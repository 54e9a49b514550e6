// Temporal tracking through the host library at 1080p (and 4K): the render
// action with 64 earlier frames next to the same render without history, for
// a host that labels its images and one that does not. Besides time, each
// benchmark reports the minor page faults per render (getrusage), and the 4K
// one the growth of the process's peak memory in float 4K frames; ratios are
// printed at the end, all from this one run.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/ofx_host.h"
#include "host/worker_pool.h"

namespace {

// A dark frame with a grid of red targets that moves with `phase`.
std::shared_ptr<const ofxhost::FloatImage> targetsFrame(int w, int h, int phase) {
    auto img = std::make_shared<ofxhost::FloatImage>(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float* p = img->pixel(x, y);
            p[0] = 0.1f + 0.3f * static_cast<float>(x) / w;
            p[1] = 0.15f;
            p[2] = 0.2f * static_cast<float>(y) / h;
            p[3] = 1.0f;
        }
    const int step = w / 8;
    for (int cy = h / 12; cy < h; cy += h / 6)
        for (int cx = step / 3 + phase * 6; cx < w; cx += step)
            for (int y = cy; y < std::min(h, cy + h / 45); ++y)
                for (int x = cx; x < std::min(w, cx + h / 45); ++x) {
                    float* p = img->pixel(x, y);
                    p[0] = 0.95f;
                    p[1] = 0.05f;
                    p[2] = 0.05f;
                }
    return img;
}

long minorFaults() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_minflt;
}

long peakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

struct Footage {
    int w, h;
    std::vector<std::shared_ptr<const ofxhost::FloatImage>> frames;   // lent round-robin, held by the "host"
    Footage(int w_, int h_) : w(w_), h(h_) {
        for (int i = 0; i < 8; ++i) frames.push_back(targetsFrame(w, h, i));
    }
    std::shared_ptr<const ofxhost::FloatImage> at(double t) const {
        return frames[static_cast<size_t>(static_cast<long>(t) % 8)];
    }
};

const Footage& footage1080() {
    static const Footage f(1920, 1080);
    return f;
}

// history: earlier frames; scale: detectionScale choice (0 full, 3 eighth);
// labelled: the host labels each image by its time; host: what the host
// says of itself (an editor like MLT gives no earlier frames, and the
// effect tracks against the regions it remembers).
void renderLoop(benchmark::State& state, const Footage& footage, int history, int scale, bool labelled,
                const ofxhost::HostDescription& host = {}) {
    std::string error;
    auto plugin = ofxhost::Plugin::load(VARNOK_BUNDLE_PATH, "", &error, host);
    auto inst = plugin ? plugin->createInstance(ofxhost::kContextFilter) : nullptr;
    if (!inst) {
        state.SkipWithError("cannot load the plug-in");
        return;
    }
    inst->setSharedFrameProvider("Source", [&footage](double t) { return footage.at(t); });
    if (labelled)
        inst->setFrameLabeler("Source", [](double t) { return "bench@" + std::to_string(static_cast<long>(t)); });
    inst->setValue("fastPreview", ofxhost::ParamValue::number(0));
    inst->setValue("detectionScale", ofxhost::ParamValue::number(scale));
    inst->setValue("useTemporalTracking", ofxhost::ParamValue::number(history > 0 ? 1 : 0));
    inst->setValue("temporalFrames", ofxhost::ParamValue::number(history));
    inst->setValue("drawTrails", ofxhost::ParamValue::number(1));
    // A sequential render: each iteration the next frame. Warm up first so the
    // figures are the steady state.
    const long peakBefore = peakKb();
    double t = 1000;
    for (int i = 0; i < 3; ++i) inst->render(t++);
    const long faultsBefore = minorFaults();
    long renders = 0;
    for (auto _ : state) {
        ofxhost::RenderResult r = inst->render(t++);
        if (r.status != ofxhost::kStatusOK) {
            state.SkipWithError("render failed");
            break;
        }
        benchmark::DoNotOptimize(r.output.rgba.data());
        inst->recycleOutput(std::move(r.output));   // as a host reuses its output memory
        ++renders;
    }
    if (renders > 0) state.counters["minflt/frame"] = static_cast<double>(minorFaults() - faultsBefore) / renders;
    const double frameKb = footage.w * static_cast<double>(footage.h) * 16.0 / 1024.0;
    state.counters["peak+frames"] = static_cast<double>(peakKb() - peakBefore) / frameKb;
}

// First, so the process's peak memory is not yet raised by the others: at 4K
// the plug-in must stay within a few frames beyond the ones the host holds.
void BM_Render4kHistory64Factor8(benchmark::State& state) {
    static const Footage f(3840, 2160);
    renderLoop(state, f, 64, 3, false);
}
void BM_Render1080NoHistory(benchmark::State& state) { renderLoop(state, footage1080(), 0, 3, false); }
void BM_Render1080History64Factor8Unlabelled(benchmark::State& state) {
    renderLoop(state, footage1080(), 64, 3, false);
}
void BM_Render1080NoHistoryFull(benchmark::State& state) { renderLoop(state, footage1080(), 0, 0, true); }
void BM_Render1080History64Factor1Labelled(benchmark::State& state) {
    renderLoop(state, footage1080(), 64, 0, true);
}
void BM_Render1080Remembered64Factor1MltLike(benchmark::State& state) {
    renderLoop(state, footage1080(), 64, 0, true, ofxhost::HostDescription::mltLike());
}

// The least any plug-in without labels must do for 64 earlier frames at
// factor 8: read the one pixel of each 8 x 8 cell that the reduction keeps,
// on the host's threads, and nothing else. Each kept pixel lies on a cache
// line of its own, so this is memory traffic, not arithmetic; next to the
// render without history it gives the best ratio this machine allows.
void BM_Read1080History64Factor8SamplesOnly(benchmark::State& state) {
    const Footage& footage = footage1080();
    const int w = footage.w, h = footage.h, factor = 8;
    const int cols = (w + factor - 1) / factor, rows = (h + factor - 1) / factor;
    std::vector<float> kept(static_cast<size_t>(cols) * rows * 4);
    const unsigned jobs = std::max(1u, ofxhost::workerCount()) * 4;
    double t = 1000;
    for (auto _ : state) {
        for (int n = 64; n >= 1; --n) {
            const ofxhost::FloatImage& frame = *footage.at(t - n);
            ofxhost::runOnWorkers(jobs, [&](unsigned j) {
                for (int ry = rows * static_cast<int>(j) / static_cast<int>(jobs);
                     ry < rows * static_cast<int>(j + 1) / static_cast<int>(jobs); ++ry) {
                    const float* row = frame.rgba.data() + static_cast<size_t>(std::min(ry * factor + factor / 2, h - 1)) * w * 4;
                    float* out = kept.data() + static_cast<size_t>(ry) * cols * 4;
                    for (int rx = 0; rx < cols; ++rx) {
                        const float* p = row + static_cast<size_t>(std::min(rx * factor + factor / 2, w - 1)) * 4;
                        for (int c = 0; c < 4; ++c) out[rx * 4 + c] = p[c];
                    }
                }
            });
        }
        benchmark::DoNotOptimize(kept.data());
        benchmark::ClobberMemory();
        ++t;
    }
}

#define HISTORY_BENCH(fn) BENCHMARK(fn)->Unit(benchmark::kMillisecond)->Iterations(12)->Repetitions(3)

HISTORY_BENCH(BM_Render4kHistory64Factor8)->Iterations(4)->Repetitions(1);
HISTORY_BENCH(BM_Render1080NoHistory);
HISTORY_BENCH(BM_Render1080History64Factor8Unlabelled);
HISTORY_BENCH(BM_Read1080History64Factor8SamplesOnly);
HISTORY_BENCH(BM_Render1080NoHistoryFull);
HISTORY_BENCH(BM_Render1080History64Factor1Labelled);
HISTORY_BENCH(BM_Render1080Remembered64Factor1MltLike);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            const std::string name = run.run_name.function_name;
            const double ms = run.GetAdjustedRealTime();
            if (!best_.count(name) || ms < best_[name]) best_[name] = ms;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        auto ratio = [&](const char* a, const char* b, const char* what) {
            if (best_.count(a) && best_.count(b) && best_[b] > 0)
                std::printf("  %-62s %6.2fx\n", what, best_[a] / best_[b]);
        };
        std::printf("\nFastest repetition, ratios in this run:\n");
        ratio("BM_Render1080History64Factor8Unlabelled", "BM_Render1080NoHistory",
              "1080p, 64 earlier frames, factor 8, no labels / no history");
        ratio("BM_Render1080History64Factor1Labelled", "BM_Render1080NoHistoryFull",
              "1080p, 64 earlier frames, factor 1, labels / no history");
        ratio("BM_Render1080Remembered64Factor1MltLike", "BM_Render1080NoHistoryFull",
              "1080p, 64 remembered frames, factor 1, like MLT / no history");
        ratio("BM_Render1080Remembered64Factor1MltLike", "BM_Render1080History64Factor1Labelled",
              "1080p, 64 frames, factor 1, like MLT / labels");
        const char* floor = "BM_Read1080History64Factor8SamplesOnly";
        const char* none = "BM_Render1080NoHistory";
        if (best_.count(floor) && best_.count(none) && best_[none] > 0)
            std::printf("  %-62s %6.2fx\n", "floor: no history + reading the kept samples alone / no history",
                        (best_[none] + best_[floor]) / best_[none]);
    }

private:
    std::map<std::string, double> best_;
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
