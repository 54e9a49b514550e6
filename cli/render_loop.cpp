#include "cli/render_loop.h"

#include <cmath>
#include <cstdio>
#include <utility>

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

}  // namespace

bool runRenderLoop(const RenderLoop& loop, LoopTimes* times, std::string* error) {
    const double start = nowSeconds();
    size_t done = 0;
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
        ofxhost::RenderResult result = loop.instance->render(t);
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
            *error = "render failed at frame " + std::to_string(frame) + ": " + ofxhost::statusName(result.status);
            return false;
        }
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
