// Per-frame costs of the varnok pipeline around the plug-in at 1920x1080:
// decode, conversion to float, hand-over to the plug-in, the plug-in's
// render, read-back and encode. Every figure is also printed as a ratio to a
// memcpy of one float RGBA frame measured in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "media/demo_clip.h"
#include "host/image_buffer.h"
#include "media/image_io.h"
#include "media/native_frame.h"
#include "media/unit_samples.h"
#include "media/yuv420.h"
#include "host/ofx_host.h"

namespace {

constexpr int kW = 1920, kH = 1080;

const varnok::DemoClip& clip() {
    static const varnok::DemoClip c = varnok::makeDemoClip(30, kW, kH);
    return c;
}

const ofxhost::FloatImage& frame() {
    static const ofxhost::FloatImage f = varnok::demoFrame(clip(), 12);
    return f;
}

std::string tempPath(const char* name) { return std::string("/tmp/varnok_host_bench_") + name; }

// The same frame as an 8-bit PNG on disk, the usual footage.
const std::string& png8() {
    static const std::string path = [] {
        std::string p = tempPath("frame.png"), err;
        varnok::writeImageFile(p, frame(), varnok::SampleType::U8, 4, &err);
        return p;
    }();
    return path;
}

void BM_MemcpyFloatFrame(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(kW) * kH * 16;
    std::vector<unsigned char> a(bytes, 1), b(bytes);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), bytes);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
}

void BM_DecodePng8(benchmark::State& state) {
    varnok::NativeFrame f;
    std::string err;
    const std::string& path = png8();   // written once, outside the timing
    for (auto _ : state) {
        varnok::readImageFile(path, &f, &err);
        benchmark::DoNotOptimize(f.data.data());
    }
}

void BM_ConvertU8ToFloat(benchmark::State& state) {
    varnok::NativeFrame f;
    std::string err;
    varnok::readImageFile(png8(), &f, &err);
    for (auto _ : state) {
        ofxhost::FloatImage img = varnok::toFloatRgba(f);
        benchmark::DoNotOptimize(img.rgba.data());
    }
}

// The CLI's way: into a frame the host has let go of, no allocation.
void BM_ConvertU8ToFloatReused(benchmark::State& state) {
    varnok::NativeFrame f;
    std::string err;
    varnok::readImageFile(png8(), &f, &err);
    ofxhost::FloatImage img;
    for (auto _ : state) {
        varnok::toFloatRgba(f, &img);
        benchmark::DoNotOptimize(img.rgba.data());
    }
}

// Re-laying a frame out for the plug-in; only layouts other than plain float
// RGBA pay it, the plain one is lent without a copy.
void BM_HandOverRelaidOut(benchmark::State& state) {
    for (auto _ : state) {
        ofxhost::ImageBuffer b = ofxhost::makeSourceBuffer(frame(), ofxhost::ImageLayout{});
        benchmark::DoNotOptimize(b.data);
    }
}

void BM_ReadBackOutput(benchmark::State& state) {
    const ofxhost::ImageBuffer b = ofxhost::makeSourceBuffer(frame(), ofxhost::ImageLayout{});
    for (auto _ : state) {
        ofxhost::FloatImage img = ofxhost::readBuffer(b);
        benchmark::DoNotOptimize(img.rgba.data());
    }
}

void BM_EncodePng8(benchmark::State& state) {
    std::string err;
    frame();
    for (auto _ : state) varnok::writeImageFile(tempPath("out.png"), frame(), varnok::SampleType::U8, 4, &err);
}

void BM_EncodeExrHalf(benchmark::State& state) {
    std::string err;
    for (auto _ : state) varnok::writeImageFile(tempPath("out.exr"), frame(), varnok::SampleType::Half, 4, &err);
}

// The Varnok plug-in's render through the host, with the given settings.
// `lend`: frames lent to the host; otherwise copied into the host's frame on each fetch.
}  // namespace

// Varnok's render of frame 12 of the demo clip, the source lent or copied;
// other benchmark files of this program measure it in their own settings.
void pluginRender(benchmark::State& state, const std::map<std::string, ofxhost::ParamValue>& values,
                  bool lend) {
    struct stat st {};
    if (::stat(VARNOK_BUNDLE, &st) != 0) {
        state.SkipWithError("Varnok bundle not built");
        return;
    }
    std::string err;
    auto plugin = ofxhost::Plugin::load(VARNOK_BUNDLE, "", &err);
    if (!plugin) {
        state.SkipWithError(err.c_str());
        return;
    }
    auto inst = plugin->createInstance(ofxhost::kContextFilter);
    for (const auto& [name, v] : values) inst->setValue(name, v);
    if (lend) {
        // Frames made once and lent, as the CLI's source lends its conversions.
        static const auto frames = [] {
            std::vector<std::shared_ptr<const ofxhost::FloatImage>> v;
            for (int t = 0; t < clip().frames; ++t)
                v.push_back(std::make_shared<const ofxhost::FloatImage>(varnok::demoFrame(clip(), t)));
            return v;
        }();
        inst->setSharedFrameProvider("Source", [](double t) -> std::shared_ptr<const ofxhost::FloatImage> {
            if (t < 0 || t >= clip().frames) return nullptr;
            return frames[static_cast<size_t>(t)];
        });
    } else {
        inst->setFrameProvider("Source", [](double t, ofxhost::FloatImage& out) {
            if (t < 0 || t >= clip().frames) return false;
            out = t == 12 ? frame() : varnok::demoFrame(clip(), static_cast<int>(t));
            return true;
        });
    }
    for (auto _ : state) {
        ofxhost::RenderResult r = inst->render(12);
        if (r.status != ofxhost::kStatusOK) state.SkipWithError(ofxhost::statusName(r.status).c_str());
        benchmark::DoNotOptimize(r.output.rgba.data());
    }
}

namespace {

void BM_PluginRenderDefaults(benchmark::State& state) { pluginRender(state, {}, false); }
void BM_PluginRenderDefaultsLent(benchmark::State& state) { pluginRender(state, {}, true); }

const std::map<std::string, ofxhost::ParamValue>& temporal8() {
    static const std::map<std::string, ofxhost::ParamValue> v = {
        {"useTemporalTracking", ofxhost::ParamValue::number(1)},
        {"fastPreview", ofxhost::ParamValue::number(0)},
        {"temporalFrames", ofxhost::ParamValue::number(8)}};
    return v;
}

void BM_PluginRenderTemporal8(benchmark::State& state) { pluginRender(state, temporal8(), false); }
void BM_PluginRenderTemporal8Lent(benchmark::State& state) { pluginRender(state, temporal8(), true); }

// A frame for the encoder on one thread: 4:2:0 planes in a matrix (BT.601
// video range was the only one before the matrix became a parameter), and
// 8-bit BGRA for FFV1.
void packYuv(benchmark::State& state, const varnok::YuvCoefficients& k) {
    const varnok::Yuv420Layout l = varnok::yuv420Layout(kW, kH);
    std::vector<uint8_t> out(l.totalBytes());
    for (auto _ : state) {
        varnok::packYuv420Rows(frame().rgba.data(), kW, kH, 0, l.height / 2, out.data(), k);
        benchmark::DoNotOptimize(out.data());
    }
}
void BM_PackYuv420Bt601(benchmark::State& state) { packYuv(state, varnok::bt601VideoRange()); }
void BM_PackYuv420Bt709(benchmark::State& state) { packYuv(state, varnok::yuvCoefficients(0.2126, 0.0722, false)); }
void BM_PackBgra8(benchmark::State& state) {
    std::vector<uint8_t> out(static_cast<size_t>(kW) * kH * 4);
    for (auto _ : state) {
        varnok::packBgra8(frame().rgba.data(), static_cast<size_t>(kW) * kH, out.data());
        benchmark::DoNotOptimize(out.data());
    }
}

BENCHMARK(BM_MemcpyFloatFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackYuv420Bt601)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackYuv420Bt709)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackBgra8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePng8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertU8ToFloat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertU8ToFloatReused)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandOverRelaidOut)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBackOutput)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodePng8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeExrHalf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PluginRenderDefaults)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PluginRenderDefaultsLent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PluginRenderTemporal8)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PluginRenderTemporal8Lent)->Unit(benchmark::kMillisecond)->Iterations(3);

// Prints the usual table, then each result as a multiple of the memcpy.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        // With repetitions, each benchmark's fastest repetition: the least disturbed by other work.
        for (const Run& r : runs) {
            if (r.error_occurred || r.run_type == Run::RT_Aggregate) continue;
            const std::string name = r.run_name.str();
            const double t = r.GetAdjustedRealTime();
            bool found = false;
            for (auto& e : times_)
                if (e.first == name) {
                    e.second = std::min(e.second, t);
                    found = true;
                }
            if (!found) times_.push_back({name, t});
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        double base = 0;
        for (const auto& t : times_)
            if (t.first.find("BM_MemcpyFloatFrame") == 0) base = t.second;
        if (base <= 0) return;
        std::printf("\nratio to memcpy of one 1920x1080 float RGBA frame (%.3f ms):\n", base);
        for (const auto& t : times_) std::printf("  %-32s %9.2fx\n", t.first.c_str(), t.second / base);
    }

private:
    std::vector<std::pair<std::string, double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
    // Five repetitions unless asked otherwise: the machine is shared and noisy.
    std::vector<char*> args(argv, argv + argc);
    std::string reps = "--benchmark_repetitions=5";
    bool given = false;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0) given = true;
    if (!given) args.push_back(reps.data());
    argc = static_cast<int>(args.size());
    argv = args.data();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
