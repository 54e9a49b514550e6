#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "cli/chunk_plan.h"
#include "cli/command_setup.h"
#include "cli/crash_report.h"
#include "cli/commands.h"
#include "media/frame_sink.h"
#include "media/frame_source.h"
#include "cli/output_settings.h"
#include "cli/render_loop.h"
#include "engine/simd_level.h"
#include "host/proxy_scale.h"

namespace varnok {

namespace {

long minorPageFaults() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_minflt;
}

}  // namespace

int runRenderCommand(const CliOptions& o) {
    std::string error;
    CommandSetup setup;
    if (!setUpCommand(o, &setup, &error)) return fail(error);
    std::string outputPath = o.output;   // a video chunk writes its own part
    if (!chunkRender(o, &setup.frames, &outputPath, &error)) return fail(error);
    FrameSource& source = setup.source;
    const std::vector<int>& frames = setup.frames;
    ofxhost::Plugin* plugin = setup.plugin.get();
    ofxhost::Instance* instance = setup.instance.get();

    VideoOutput output;
    std::string note;
    if (!outputSettings(o, setup, &output, &error, &note)) return fail(error);
    FrameSink sink;
    reserveCrashFiles(frames.size());
    sink.fileWatcher = noteOutputFile;

    RenderLoop loop;
    loop.instance = instance;
    loop.plugin = plugin;
    loop.frames = frames;
    loop.sink = &sink;
    // Each frame is the plug-in's region of definition, in a proxy mode at
    // the proxy's scale; the sink opens at the first frame's size. The frame
    // is INPUT's at each time, or --size.
    if (!setup.hasSource) {
        loop.options.width = ofxhost::proxySize(setup.width, o.host.renderScale);
        loop.options.height = ofxhost::proxySize(setup.height, o.host.renderScale);
    }
    loop.options.mainClip = setup.mainClip;
    loop.options.outputAtRegionOfDefinition = true;
    loop.options.maxOutputPixels =
        static_cast<double>(o.host.maxFrameMb > 0 ? o.host.maxFrameMb : defaultMaxFrameMegabytes()) * 1e6 / 16.0;
    loop.fixedSize = classifyPath(outputPath).kind == MediaKind::Video;
    loop.quiet = o.quiet;
    const SampleType sampleType = setup.hasSource ? source.sampleType() : SampleType::U8;
    loop.openSink = [&](int width, int height, std::string* why) {
        if (!sink.open(outputPath, width, height, output, sampleType, frames.size(), frames.front(), why, &note))
            return false;
        if (!note.empty() && !o.quiet) std::fprintf(stderr, "varnok: %s\n", note.c_str());
        sink.setPremultiplied(instance->outputPremultiplication() != "OfxImageAlphaUnPremultiplied");
        return true;
    };
    loop.progress = !o.quiet && ::isatty(STDERR_FILENO);
    if (setup.hasSource) loop.prefetch = [&source](int first, int current) {
        source.setCapacity(static_cast<size_t>(current - first) + 2);
        source.forgetFloatsBefore(first);
        // In order, so a video is decoded once, forwards.
        for (int f = first; f <= current && !source.failed(); ++f) source.get(f);
    };
    loop.sourceError = [&source]() { return source.error(); };
    LoopTimes times;
    const long faultsBefore = minorPageFaults();
    if (!runRenderLoop(loop, &times, &error)) {
        sink.discard();
        return fail(error);
    }
    if (!sink.commit(&error)) return fail(error);
    if (o.stats) {
        const double n = std::max(1, times.frames);
        const double render = times.render - source.convertSeconds;
        std::fprintf(stderr,
                     "frames %d (%dx%d), per frame: decode %.2f ms, convert %.2f ms, render %.2f ms, "
                     "encode %.2f ms; decodes %d; history cache peak %.1f MB, %d hits, %d conversions\n",
                     times.frames, setup.width, setup.height, 1e3 * source.decodeSeconds / n,
                     1e3 * source.convertSeconds / n, 1e3 * render / n, 1e3 * sink.encodeSeconds / n,
                     source.decodes, source.peakCacheBytes / 1048576.0, source.floatHits, source.conversions);
        std::fprintf(stderr, "minor page faults per frame (varnok itself, in the loop): %.0f\n",
                     static_cast<double>(minorPageFaults() - faultsBefore) / n);
        std::fprintf(stderr, "simd level: %s\n", ormel::simdLevelName());
        // Counted by the host: images the plug-in knew by their label and never read.
        const ofxhost::Instance::InputReads reads = instance->inputReads();
        std::fprintf(stderr, "source images handed to the plug-in %ld, pixels read %ld, known by label %ld\n",
                     reads.fetched, reads.read, reads.fetched - reads.read);
    }
    for (const std::string& notice : pluginNotices(*plugin)) std::fprintf(stderr, "plug-in: %s\n", notice.c_str());
    if (!o.quiet)
        std::fprintf(stderr, "wrote %d frame%s to %s\n", times.frames, times.frames == 1 ? "" : "s",
                     outputPath.c_str());
    return 0;
}

}  // namespace varnok
