#include "cli/track_recorder.h"

#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "host/worker_pool.h"
#include "pipeline/earlier_regions.h"
#include "pipeline/process_frame.h"
#include "plugin/held_param_reader.h"
#include "plugin/settings_sampling.h"
#include "plugin/temporal_limits.h"

namespace varnok {
namespace {

// Parameter values as the plug-in reads them from its host at one time.
class InstanceReader : public ormel::ParamReader {
public:
    InstanceReader(const ofxhost::Instance& instance, double time) : instance_(instance), time_(time) {}
    double getDouble(const std::string& name) const override { return value(name).at(0); }
    int getInt(const std::string& name) const override { return static_cast<int>(value(name).at(0)); }
    bool getBool(const std::string& name) const override { return value(name).at(0) != 0.0; }
    int getChoice(const std::string& name) const override { return static_cast<int>(value(name).at(0)); }
    std::array<double, 3> getRgb(const std::string& name) const override {
        const std::vector<double> v = value(name);
        return {v.at(0), v.at(1), v.at(2)};
    }

private:
    std::vector<double> value(const std::string& name) const {
        ofxhost::ParamValue v;
        if (!instance_.getValue(name, time_, &v) || v.numbers.empty())
            throw std::runtime_error("the plug-in has no parameter " + name);
        return v.numbers;
    }
    const ofxhost::Instance& instance_;
    double time_;
};

// The source's frames by number, with the regions of every frame detected
// so far remembered by frame number and detection settings.
class RecordedFrames : public ormel::EarlierFrames {
public:
    RecordedFrames(const ofxhost::SharedFrameProvider& frames, ormel::DetectionCache& regions, long& detections,
                   int current, int width, int height, const ormel::Settings& settings, const ormel::RowBands& bands,
                   ormel::Image& full)
        : frames_(frames), regions_(regions), detections_(detections), current_(current), width_(width),
          height_(height), factor_(ormel::detectionFactor(settings)), detection_(ormel::detectionSettings(settings)),
          bands_(bands), full_(full) {}

    ormel::EarlierFrame fetch(int32_t offset, ormel::Image& spare) override {
        const int when = current_ - offset;
        const std::shared_ptr<const ofxhost::FloatImage> f = frames_(when);
        if (!f || f->width != width_ || f->height != height_) return {};
        return frameOf(when, *f, spare);
    }
    void detected(int32_t offset, const std::vector<ormel::Blob>& regions) override {
        ++detections_;
        regions_.store(keyOf(current_ - offset), regions);
    }

    // Frame `when`, whose picture is `image`: its regions when known, else
    // its picture at the detection resolution (in `spare`).
    ormel::EarlierFrame frameOf(int when, const ofxhost::FloatImage& image, ormel::Image& spare) {
        ormel::EarlierFrame e;
        e.frame = when;
        if (regions_.find(keyOf(when), &e.regions)) {
            e.kind = ormel::EarlierFrame::Kind::Regions;
            return e;
        }
        // Both are packed float RGBA, top row first.
        ormel::Image& full = factor_ == 1 ? spare : full_;
        full.width = image.width;
        full.height = image.height;
        full.pixels.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
        std::memcpy(static_cast<void*>(full.pixels.data()), image.rgba.data(), image.rgba.size() * sizeof(float));
        if (factor_ != 1) ormel::downsampleNearestInto(full, factor_, spare, bands_);
        e.kind = ormel::EarlierFrame::Kind::Picture;
        e.picture = &spare;
        return e;
    }

private:
    std::string keyOf(int when) const {
        return ormel::detectionKey("frame " + std::to_string(when), width_, height_, factor_, detection_);
    }

    const ofxhost::SharedFrameProvider& frames_;
    ormel::DetectionCache& regions_;
    long& detections_;
    const int current_, width_, height_;
    const int32_t factor_;
    const ormel::Settings detection_;
    const ormel::RowBands& bands_;
    ormel::Image& full_;
};

}  // namespace

TrackRecorder::TrackRecorder(ofxhost::Instance& instance, FrameSource& source)
    : instance_(instance), source_(source), frames_(source.sharedProvider()), regions_(256) {
    bands_.bands = static_cast<int32_t>(ofxhost::workerCount());
    bands_.runJobs = [](int32_t count, const std::function<void(int32_t)>& job) {
        ofxhost::runOnWorkers(static_cast<unsigned>(count), [&job](unsigned i) { job(static_cast<int32_t>(i)); });
    };
}

bool TrackRecorder::track(int frame, TrackedFrame* out, std::string* error) {
    const double t = frame;
    ormel::Settings settings;
    try {
        // Held to the controls' ranges as the plug-in holds them, so the
        // tracks are the ones it draws.
        static const ormel::ParamRanges ranges(ormel::paramCatalogue());
        settings = ormel::sampleSettings(ormel::HeldParamReader(InstanceReader(instance_, t), ranges), t);
    } catch (const std::exception& e) {
        *error = std::string(e.what()) + " (varnok track needs the Varnok plug-in)";
        return false;
    }
    const std::shared_ptr<const ofxhost::FloatImage> current = frames_(t);
    if (!current) {
        *error = source_.failed() ? source_.error() : "frame " + std::to_string(frame) + " cannot be read";
        return false;
    }
    const int width = current->width, height = current->height;
    RecordedFrames recorded(frames_, regions_, detections_, frame, width, height, settings, bands_, full_);
    std::vector<ormel::FrameRegions> earlier;
    ormel::collectEarlierRegions(recorded, clampTemporalFrames(settings.temporalFrames), width, height, settings,
                                 bands_, spares_, earlier);
    // The current frame's regions are kept too: it is an earlier frame of the next.
    if (spares_.empty()) spares_.emplace_back();
    ormel::EarlierFrame now = recorded.frameOf(frame, *current, spares_.front());
    if (now.kind == ormel::EarlierFrame::Kind::Picture) {
        now.regions = ormel::detectEarlierRegions(*now.picture, settings, bands_);
        recorded.detected(0, now.regions);
    }
    const std::vector<ormel::Blob>& found = now.regions;
    settings_ = settings;
    out->frame = frame;
    out->tracks = ormel::trackDetectedRegions(found, width, height, earlier, settings).tracks;
    return true;
}

}  // namespace varnok
