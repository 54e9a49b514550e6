#include "cli/render_loop.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "cli/plugin_choice.h"
#include "media/frame_source.h"

namespace varnok {

namespace {

void showProgress(const std::string& label, size_t done, size_t total, double elapsed) {
    const double fps = elapsed > 0 ? done / elapsed : 0.0;
    const double left = fps > 0 ? (total - done) / fps : 0.0;
    const int secs = static_cast<int>(std::min(left, 359999.0));
    std::fprintf(stderr, "\r%sframe %zu of %zu  %.1f fps  %d:%02d left   ", label.c_str(), done, total, fps,
                 secs / 60, secs % 60);
    if (done == total) std::fprintf(stderr, "\n");
    std::fflush(stderr);
}

bool acceptable(int st) { return st == ofxhost::kStatusOK || st == ofxhost::kStatusReplyDefault; }

// What the frames so far have shown of their sizes.
struct FrameSizes {
    int firstWidth = 0, firstHeight = 0;
    bool cutTold = false;
};

// The first frame opens the sink at its size; a later one of another size
// is refused where the sink holds one size only.

bool checkFrameSize(const RenderLoop& loop, int frame, const ofxhost::RenderResult& r, bool first, FrameSizes* sizes,
                    std::string* error) {
    const int w = r.output.width, h = r.output.height;
    if (w <= 0 || h <= 0) {
        *error = "frame " + std::to_string(frame) + ": the plug-in's region of definition is empty";
        return false;
    }
    // Said once: a generator's unbounded region is cut at every frame.
    if (r.regionCut && !loop.quiet && !sizes->cutTold) {
        std::fprintf(stderr, "varnok: frame %d: the region of definition is unbounded or beyond --max-frame-mb; "
                     "cut to the frame\n", frame);
        sizes->cutTold = true;
    }
    if (first) {
        sizes->firstWidth = w;
        sizes->firstHeight = h;
        return !loop.openSink || loop.openSink(w, h, error);
    }
    if (loop.fixedSize && (w != sizes->firstWidth || h != sizes->firstHeight)) {
        *error = "frame " + std::to_string(frame) + " is " + std::to_string(w) + "x" + std::to_string(h) +
                 " (its region of definition) but the video is " + std::to_string(sizes->firstWidth) + "x" +
                 std::to_string(sizes->firstHeight) + "; write an image sequence for frames of changing size";
        return false;
    }
    return true;
}

}  // namespace

bool runRenderLoop(const RenderLoop& loop, LoopTimes* times, std::string* error) {
    const double start = nowSeconds();
    size_t done = 0;
    FrameSizes sizes;
    for (int frame : loop.frames) {
        const double t = frame;
        const ofxhost::FramesNeededResult needed = loop.instance->getFramesNeeded(t);
        if (!acceptable(needed.status)) {
            *error = "getFramesNeeded failed at frame " + std::to_string(frame) + ": " +
                     ofxhost::statusName(needed.status);
            return false;
        }
        double earliest = t;
        for (const auto& [clip, ranges] : needed.ranges)
            for (const auto& r : ranges)
                if (std::isfinite(r.first)) earliest = std::min(earliest, r.first);
        earliest = std::max(earliest, t - 4096.0);   // a runaway request is not worth decoding
        if (loop.prefetch) loop.prefetch(static_cast<int>(std::ceil(earliest)), frame);
        if (loop.sourceError && !loop.sourceError().empty()) {
            *error = loop.sourceError();
            return false;
        }
        const double r0 = nowSeconds();
        ofxhost::RenderResult result = loop.instance->render(t, loop.options);
        loop.instance->clearFetchLog();   // nothing reads it here; kept, it grows every frame
        times->render += secondsSince(r0);
        if (loop.sourceError && !loop.sourceError().empty()) {
            *error = loop.sourceError();
            return false;
        }
        if (!result.error.empty()) {
            *error = "render failed at frame " + std::to_string(frame) + ": " + result.error;
            return false;
        }
        if (result.status != ofxhost::kStatusOK) {
            const std::string action = ofxhost::actionLabel(
                result.failedAction.empty() ? std::string("OfxImageEffectActionRender") : result.failedAction);
            *error = loop.plugin ? actionFailure(*loop.plugin, action, result.status, " at frame " + std::to_string(frame))
                                 : action + " failed at frame " + std::to_string(frame) + ": " +
                                       ofxhost::statusName(result.status);
            return false;
        }
        if (!checkFrameSize(loop, frame, result, done == 0, &sizes, error)) return false;
        if (loop.onFrame) loop.onFrame(frame, result.output);
        if (!loop.sink->write(frame, std::move(result.output), error)) return false;
        loop.instance->recycleOutput(loop.sink->takeSpareFrame());
        ++done;
        ++times->frames;
        if (loop.progress) showProgress(loop.label, done, loop.frames.size(), secondsSince(start));
    }
    times->total += secondsSince(start);
    return true;
}

}  // namespace varnok
