#include "cli/track_recorder.h"

#include <array>
#include <cstring>
#include <functional>
#include <stdexcept>

#include "host/worker_pool.h"
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

// Both are packed float RGBA, top row first.
ormel::Image toEngine(const ofxhost::FloatImage& f) {
    ormel::Image img(f.width, f.height);
    std::memcpy(static_cast<void*>(img.pixels.data()), f.rgba.data(), f.rgba.size() * sizeof(float));
    return img;
}

}  // namespace

TrackRecorder::TrackRecorder(ofxhost::Instance& instance, FrameSource& source)
    : instance_(instance), source_(source), frames_(source.sharedProvider()), regions_(256) {
    bands_.bands = static_cast<int32_t>(ofxhost::workerCount());
    bands_.runJobs = [](int32_t count, const std::function<void(int32_t)>& job) {
        ofxhost::runOnWorkers(static_cast<unsigned>(count), [&job](unsigned i) { job(static_cast<int32_t>(i)); });
    };
}

std::vector<ormel::Blob> TrackRecorder::regionsOf(int frame, const ofxhost::FloatImage& image,
                                                  const ormel::Settings& settings) {
    const int32_t factor = ormel::detectionFactor(settings);
    const std::string key = ormel::detectionKey("frame " + std::to_string(frame), image.width, image.height, factor,
                                                ormel::detectionSettings(settings));
    std::vector<ormel::Blob> regions;
    if (regions_.find(key, &regions)) return regions;
    const ormel::Image full = toEngine(image);
    if (factor == 1) {
        regions = ormel::detectEarlierRegions(full, settings, bands_);
    } else {
        ormel::downsampleNearestInto(full, factor, reduced_, bands_);
        regions = ormel::detectEarlierRegions(reduced_, settings, bands_);
    }
    ++detections_;
    regions_.store(key, regions);
    return regions;
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
    std::vector<ormel::FrameRegions> earlier;
    for (int32_t n = clampTemporalFrames(settings.temporalFrames); n >= 1; --n) {
        const int when = frame - n;
        const std::shared_ptr<const ofxhost::FloatImage> f = frames_(when);
        if (!f || f->width != width || f->height != height) continue;
        earlier.push_back({when, regionsOf(when, *f, settings)});
    }
    const std::vector<ormel::Blob> found = regionsOf(frame, *current, settings);
    settings_ = settings;
    out->frame = frame;
    out->tracks = ormel::trackDetectedRegions(found, width, height, earlier, settings).tracks;
    return true;
}

}  // namespace varnok
