// The whole render action on a 1920 x 1080 float RGBA frame with the default
// parameters, through the host library, next to the pieces it is made of:
// the engine's processFrame alone and the plug-in's own pixel transfer
// (reading the source into an engine image, writing the result out). Every
// figure is also printed as a ratio to one std::memcpy of the same frame
// measured in this run. The engine also runs on proxies at render scales 0.5
// and 0.25, as a host's preview renders it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "pipeline/process_frame.h"
#include "host/ofx_host.h"
#include "host/proxy_scale.h"
#include "plugin/image_transfer.h"
#include "catalogue/param_catalogue.h"
#include "plugin/settings_sampling.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
const char* const kBaseline = "BM_MemcpyFrame";

ofxhost::FloatImage benchFrame() {
    ofxhost::FloatImage img(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            float* p = img.pixel(x, y);
            p[0] = 0.1f + 0.3f * static_cast<float>(x) / kWidth;
            p[1] = 0.15f;
            p[2] = 0.2f * static_cast<float>(y) / kHeight;
            p[3] = 1.0f;
        }
    }
    // A grid of red targets for the detector.
    for (int cy = 60; cy < kHeight; cy += 180) {
        for (int cx = 80; cx < kWidth; cx += 240) {
            for (int y = cy; y < cy + 24 && y < kHeight; ++y) {
                for (int x = cx; x < cx + 24 && x < kWidth; ++x) {
                    float* p = img.pixel(x, y);
                    p[0] = 0.95f;
                    p[1] = 0.05f;
                    p[2] = 0.05f;
                }
            }
        }
    }
    return img;
}

ormel::Image toEngine(const ofxhost::FloatImage& f) {
    ormel::Image img(f.width, f.height);
    std::memcpy(static_cast<void*>(img.pixels.data()), f.rgba.data(), f.rgba.size() * sizeof(float));
    return img;
}

class DefaultReader : public ormel::ParamReader {
public:
    DefaultReader() {
        for (const auto& s : ormel::paramCatalogue())
            values_[s.name] = s.kind == ormel::ParamKind::Rgb
                                  ? s.defaultRgb
                                  : std::array<double, 3>{s.defaultValue, 0.0, 0.0};
    }
    double getDouble(const std::string& n) const override { return values_.at(n)[0]; }
    int getInt(const std::string& n) const override { return static_cast<int>(values_.at(n)[0]); }
    bool getBool(const std::string& n) const override { return values_.at(n)[0] != 0.0; }
    int getChoice(const std::string& n) const override { return static_cast<int>(values_.at(n)[0]); }
    std::array<double, 3> getRgb(const std::string& n) const override { return values_.at(n); }

private:
    std::map<std::string, std::array<double, 3>> values_;
};

void BM_MemcpyFrame(benchmark::State& state) {
    const ofxhost::FloatImage src = benchFrame();
    std::vector<float> dst(src.rgba.size());
    for (auto _ : state) {
        std::memcpy(dst.data(), src.rgba.data(), src.rgba.size() * sizeof(float));
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
}

void BM_RenderAction(benchmark::State& state) {
    std::string error;
    auto plugin = ofxhost::Plugin::load(VARNOK_BUNDLE_PATH, "", &error);
    if (!plugin) {
        state.SkipWithError(error.c_str());
        return;
    }
    auto inst = plugin->createInstance(ofxhost::kContextFilter);
    if (!inst) {
        state.SkipWithError("cannot create an instance");
        return;
    }
    // Lent, not copied, as the command-line renderer does: the figure is the
    // render action's own cost.
    const auto frame = std::make_shared<const ofxhost::FloatImage>(benchFrame());
    inst->setSharedFrameProvider("Source", [frame](double) { return frame; });
    for (auto _ : state) {
        ofxhost::RenderResult r = inst->render(12);
        if (r.status != ofxhost::kStatusOK) {
            state.SkipWithError("render failed");
            break;
        }
        benchmark::DoNotOptimize(r.output.rgba.data());
    }
}

void BM_ProcessFrameAlone(benchmark::State& state) {
    const ormel::Image current = toEngine(benchFrame());
    const ormel::Settings settings = ormel::sampleSettings(DefaultReader(), 12);
    for (auto _ : state) {
        ormel::TraceResult r = ormel::processFrame(current, {}, settings);
        benchmark::DoNotOptimize(r.image.pixels.data());
    }
}

// The engine on a host's proxy of the frame (made smaller by the render
// scale) with the settings sampled at that scale, as a proxy render runs it.
void processFrameAtScale(benchmark::State& state, double scale) {
    const ormel::Image current = toEngine(ofxhost::proxyImage(benchFrame(), scale));
    const ormel::Settings settings = ormel::sampleSettings(DefaultReader(), 12, scale);
    for (auto _ : state) {
        ormel::TraceResult r = ormel::processFrame(current, {}, settings);
        benchmark::DoNotOptimize(r.image.pixels.data());
    }
}
void BM_ProcessFrameHalfScale(benchmark::State& state) { processFrameAtScale(state, 0.5); }
void BM_ProcessFrameQuarterScale(benchmark::State& state) { processFrameAtScale(state, 0.25); }

struct TransferSetup {
    ofxhost::FloatImage host = benchFrame();
    std::vector<float> output = std::vector<float>(host.rgba.size());
    ormel::Image result = toEngine(host);
    ormel::HostImageAccess src;
    ormel::HostImageAccess dst;
    TransferSetup() {
        src.data = host.rgba.data();
        src.x2 = kWidth;
        src.y2 = kHeight;
        src.rowBytes = kWidth * 16;
        src.floatRgba = true;
        dst = src;
        dst.data = output.data();
    }
};

// Reading the source: a fresh engine image, built in one pass.
void BM_ReadSource(benchmark::State& state) {
    TransferSetup t;
    for (auto _ : state) {
        ormel::Image current = ormel::readHostImage(t.src);
        benchmark::DoNotOptimize(current.pixels.data());
    }
}

// Writing the result into the host's output image.
void BM_WriteOutput(benchmark::State& state) {
    TransferSetup t;
    for (auto _ : state) {
        ormel::writeHostImage(t.result, t.dst);
        benchmark::DoNotOptimize(t.output.data());
        benchmark::ClobberMemory();
    }
}

// What the plug-in adds around processFrame: one host image read into an
// engine image and one engine image written into the host's output.
void BM_PluginPixelTransfer(benchmark::State& state) {
    ofxhost::FloatImage host = benchFrame();
    std::vector<float> output(host.rgba.size());
    const ormel::Image result = toEngine(host);
    ormel::HostImageAccess src;
    src.data = host.rgba.data();
    src.x2 = kWidth;
    src.y2 = kHeight;
    src.rowBytes = kWidth * 16;
    src.floatRgba = true;
    ormel::HostImageAccess dst = src;
    dst.data = output.data();
    for (auto _ : state) {
        ormel::Image current = ormel::readHostImage(src);
        benchmark::DoNotOptimize(current.pixels.data());
        ormel::writeHostImage(result, dst);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
}

// The machine is shared: each figure is the fastest of several repetitions,
// which is the one least disturbed by other work.
double fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

#define VARNOK_BENCH(fn)                                                       \
    BENCHMARK(fn)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true) \
        ->ComputeStatistics("min", fastest)

VARNOK_BENCH(BM_MemcpyFrame);
VARNOK_BENCH(BM_ReadSource);
VARNOK_BENCH(BM_WriteOutput);
VARNOK_BENCH(BM_PluginPixelTransfer);
VARNOK_BENCH(BM_ProcessFrameAlone);
VARNOK_BENCH(BM_ProcessFrameHalfScale);
VARNOK_BENCH(BM_ProcessFrameQuarterScale);
VARNOK_BENCH(BM_RenderAction);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "min" || run.error_occurred)
                continue;
            const std::string name = run.run_name.function_name;
            if (ms_.count(name) == 0) names_.push_back(name);
            ms_[name] = run.GetAdjustedRealTime();
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto base = ms_.find(kBaseline);
        if (base == ms_.end() || base->second <= 0.0) return;
        const double copy = base->second;
        std::printf("\nFastest of 5, as a ratio to one memcpy of a %dx%d float RGBA frame (%.3f ms in this run):\n",
                    kWidth, kHeight, copy);
        for (const std::string& name : names_)
            std::printf("  %-36s %8.2fx\n", name.c_str(), ms_[name] / copy);
        const auto render = ms_.find("BM_RenderAction");
        const auto engine = ms_.find("BM_ProcessFrameAlone");
        if (render != ms_.end() && engine != ms_.end())
            std::printf("  %-36s %8.2fx  (render action minus processFrame, host copies included)\n",
                        "render overhead", (render->second - engine->second) / copy);
    }

private:
    std::map<std::string, double> ms_;
    std::vector<std::string> names_;
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
