#include "cli/track_recorder.h"

#include <array>
#include <cstring>
#include <stdexcept>

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
    : instance_(instance), source_(source), frames_(source.sharedProvider()), regions_(256) {}

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
    const ormel::Image image = toEngine(*current);

    const int32_t factor = ormel::detectionFactor(settings);
    const ormel::Settings detection = ormel::detectionSettings(settings);
    std::vector<ormel::FrameRegions> earlier;
    for (int32_t n = clampTemporalFrames(settings.temporalFrames); n >= 1; --n) {
        const int when = frame - n;
        const std::shared_ptr<const ofxhost::FloatImage> f = frames_(when);
        if (!f || f->width != image.width || f->height != image.height) continue;
        ormel::FrameRegions e;
        e.frame = when;
        const std::string key =
            ormel::detectionKey("frame " + std::to_string(when), image.width, image.height, factor, detection);
        if (!regions_.find(key, &e.regions)) {
            e.regions = ormel::detectEarlierRegions(ormel::downsampleNearest(toEngine(*f), factor), settings);
            regions_.store(key, e.regions);
        }
        earlier.push_back(std::move(e));
    }
    out->frame = frame;
    out->tracks = ormel::trackFrameWithRegions(image, earlier, settings).tracks;
    return true;
}

}  // namespace varnok
