#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "media/demo_clip.h"
#include "media/frame_sink.h"
#include "media/frame_source.h"
#include "media/image_io.h"
#include "cli/param_text.h"
#include "cli/render_loop.h"

namespace varnok {

namespace {

struct DemoLook {
    const char* name;
    std::vector<std::string> sets;
};

// Three contrasting looks: the defaults; tracking through time with trails
// and spanning-tree lines; a second target colour with boxes and labels.
const std::vector<DemoLook>& looks() {
    static const std::vector<DemoLook> all = {
        {"default", {}},
        {"temporal_mst",
         {"useTemporalTracking=true", "fastPreview=false", "temporalFrames=10", "drawTrails=true",
          "drawLines=true", "connectionMode=MST", "trailWidth=2.5", "scanline=0.25", "vignette=0.3"}},
        {"green_boxes_labels",
         {"targetColor=0,1,0", "drawBoxes=true", "drawBoxText=true", "drawLabels=true",
          "labelTextMode=Tracking complet", "boxColor=0.1,1,0.3", "drawLines=false", "chromaticAberration=2"}},
    };
    return all;
}

bool makeDirectories(const std::string& path) {
    std::string partial;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!partial.empty() && ::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
        if (i < path.size()) partial.push_back(path[i]);
    }
    return true;
}

}  // namespace

int runDemoCommand(const CliOptions& o) {
    std::string error;
    if (!makeDirectories(o.output)) return fail("cannot create " + o.output);
    auto plugin = ofxhost::Plugin::load(pluginPath(o), "", &error);
    if (!plugin) return fail("cannot load the plug-in: " + error);
    const auto& params = plugin->params(ofxhost::kContextFilter);

    const DemoClip clip = makeDemoClip(o.demoFrames);
    const bool progress = !o.quiet && ::isatty(STDERR_FILENO);
    const double start = nowSeconds();
    for (const DemoLook& look : looks()) {
        int status = 0;
        auto instance = plugin->createInstance(ofxhost::kContextFilter, &status);
        if (!instance) return fail("createInstance failed: " + ofxhost::statusName(status));
        std::vector<Assignment> assignments;
        for (const std::string& s : look.sets) {
            Assignment a;
            if (!parseAssignment(s, &a, &error)) return fail(error);
            assignments.push_back(a);
        }
        if (!applyAssignments(*instance, params, assignments, &error)) return fail(look.name + std::string(": ") + error);
        instance->setFrameProvider("Source", [&clip](double t, ofxhost::FloatImage& out) {
            if (!std::isfinite(t) || t != std::floor(t) || t < 0 || t >= clip.frames) return false;
            out = demoFrame(clip, static_cast<int>(t));
            return true;
        });
        instance->setFrameRange(0, clip.frames - 1);
        instance->setFrameRate(clip.fps);

        const std::string base = o.output + "/" + look.name;
        FrameSink sink;
        if (!sink.open(base + ".mp4", clip.width, clip.height, clip.fps, SampleType::U8, clip.frames, &error))
            return fail(error);
        std::vector<int> frames;
        for (int f = 0; f < clip.frames; ++f) frames.push_back(f);
        // Eight evenly spread frames make the contact sheet.
        std::vector<int> sheetFrames;
        for (int k = 0; k < 8; ++k) sheetFrames.push_back(clip.frames * (2 * k + 1) / 16);
        std::vector<ofxhost::FloatImage> thumbs;
        RenderLoop loop;
        loop.instance = instance.get();
        loop.frames = frames;
        loop.sink = &sink;
        loop.progress = progress;
        loop.label = std::string(look.name) + ": ";
        loop.onFrame = [&](int frame, const ofxhost::FloatImage& img) {
            if (std::find(sheetFrames.begin(), sheetFrames.end(), frame) != sheetFrames.end())
                thumbs.push_back(shrink(img, 4));
        };
        LoopTimes times;
        if (!runRenderLoop(loop, &times, &error)) return fail(std::string(look.name) + ": " + error);
        if (!sink.commit(&error)) return fail(error);
        const std::string sheetPath = base + "_sheet.png";
        const std::string temp = temporarySibling(sheetPath);
        if (!writeImageFile(temp, contactSheet(thumbs, 4), SampleType::U8, 3, &error) ||
            std::rename(temp.c_str(), sheetPath.c_str()) != 0) {
            ::unlink(temp.c_str());
            return fail("cannot write " + sheetPath + (error.empty() ? "" : ": " + error));
        }
        if (!o.quiet) std::fprintf(stderr, "wrote %s.mp4 and %s\n", base.c_str(), sheetPath.c_str());
    }
    if (!o.quiet) std::fprintf(stderr, "demo done in %.1f s\n", secondsSince(start));
    return 0;
}

}  // namespace varnok
