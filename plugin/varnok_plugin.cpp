#include "plugin/varnok_plugin.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/int_conversion.h"
#include "pipeline/process_frame.h"
#include "engine/reduction.h"
#include "openfx/support/ofx_suites.h"
#include "plugin/held_param_reader.h"
#include "plugin/host_threads.h"
#include "plugin/image_transfer.h"
#include "plugin/image_transfer_bands.h"
#include "catalogue/param_catalogue.h"
#include "plugin/settings_sampling.h"
#include "plugin/temporal_limits.h"

namespace {

ormel::HostImageAccess accessOf(OFX::Image* image) {
    ormel::HostImageAccess a;
    if (image == nullptr) return a;
    const OfxRectI& b = image->getBounds();
    a.data = image->getPixelData();
    a.x1 = b.x1;
    a.y1 = b.y1;
    a.x2 = b.x2;
    a.y2 = b.y2;
    a.rowBytes = image->getRowBytes();
    a.floatRgba = image->getPixelDepth() == OFX::eBitDepthFloat &&
                  image->getPixelComponents() == OFX::ePixelComponentRGBA;
    a.pixelAddress = [image](int x, int y) { return image->getPixelAddress(x, y); };
    return a;
}


// Parameter values at one time, through the handles fetched at construction.
class HostParamReader : public ormel::ParamReader {
public:
    HostParamReader(VarnokPlugin& effect, double time) : effect_(effect), time_(time) {}
    double getDouble(const std::string& name) const override {
        return effect_.fetchDoubleParam(name)->getValueAtTime(time_);
    }
    int getInt(const std::string& name) const override {
        return effect_.fetchIntParam(name)->getValueAtTime(time_);
    }
    bool getBool(const std::string& name) const override {
        return effect_.fetchBooleanParam(name)->getValueAtTime(time_);
    }
    int getChoice(const std::string& name) const override {
        return effect_.fetchChoiceParam(name)->getValueAtTime(time_);
    }
    std::array<double, 3> getRgb(const std::string& name) const override {
        std::array<double, 3> c{};
        effect_.fetchRGBParam(name)->getValueAtTime(time_, c[0], c[1], c[2]);
        return c;
    }

private:
    VarnokPlugin& effect_;
    double time_;
};

bool isFloatRgba(const OFX::Image& image) {
    return image.getPixelDepth() == OFX::eBitDepthFloat &&
           image.getPixelComponents() == OFX::ePixelComponentRGBA;
}

}  // namespace

VarnokPlugin::VarnokPlugin(OfxImageEffectHandle handle)
    : OFX::ImageEffect(handle), ranges_(ormel::paramCatalogue()), temporalHost_(OFX::hostHasTemporalClipAccess()) {
    outputClip = fetchClip(kOfxImageEffectOutputClipName);
    sourceClip = fetchClip(kOfxImageEffectSimpleSourceClipName);
    // Each catalogue parameter by its kind: an instance whose host lacks one
    // fails here, and the actions find the handles by name afterwards.
    for (const ormel::ParamSpec& spec : ranges_.catalogue()) {
        switch (spec.kind) {
            case ormel::ParamKind::Double: fetchDoubleParam(spec.name); break;
            case ormel::ParamKind::Integer: fetchIntParam(spec.name); break;
            case ormel::ParamKind::Boolean: fetchBooleanParam(spec.name); break;
            case ormel::ParamKind::Choice: fetchChoiceParam(spec.name); break;
            case ormel::ParamKind::Rgb: fetchRGBParam(spec.name); break;
            case ormel::ParamKind::String: fetchStringParam(spec.name); break;
            case ormel::ParamKind::PushButton: fetchPushButtonParam(spec.name); break;
        }
    }
}

VarnokPlugin::~VarnokPlugin() = default;

ormel::Settings VarnokPlugin::settingsAt(double time, double renderScale) const {
    // The fetches only look up the handles made at construction.
    const HostParamReader host(const_cast<VarnokPlugin&>(*this), time);
    return ormel::sampleSettings(ormel::HeldParamReader(host, ranges_), time, renderScale);
}

void VarnokPlugin::render(const OFX::RenderArguments& args) {
    const double t = args.time;
    if (outputClip->getPixelDepth() != OFX::eBitDepthFloat ||
        outputClip->getPixelComponents() != OFX::ePixelComponentRGBA)
        OFX::throwSuiteStatusException(kOfxStatErrUnsupported);

    std::unique_ptr<OFX::Image> dst = outputClip->fetchImage(t);
    if (!dst) OFX::throwSuiteStatusException(kOfxStatFailed);
    std::unique_ptr<OFX::Image> src = sourceClip->fetchImage(t);
    if (!src) OFX::throwSuiteStatusException(kOfxStatFailed);
    if (src->getPixelDepth() != dst->getPixelDepth() ||
        src->getPixelComponents() != dst->getPixelComponents())
        OFX::throwSuiteStatusException(kOfxStatErrValue);
    // The clip promised float RGBA; an image that is not would be written
    // past its end, so it is refused like a mismatch.
    if (!isFloatRgba(*dst)) OFX::throwSuiteStatusException(kOfxStatErrValue);

    // Images come at the render scale; a host that scales the two axes
    // differently gets their geometric mean for lengths.
    const OfxPointD& rs = args.renderScale;
    const double scale = rs.x == rs.y ? rs.x : std::sqrt(rs.x * rs.y);
    const ormel::Settings settings = settingsAt(t, scale);
    // The host's threads, when it lends them, share out each pass of the frame.
    const ormel::RowBands bands = ormel::rowBandsFrom(OFX::suites().multiThread);
    std::unique_lock<std::mutex> own(scratchMutex_, std::try_to_lock);
    Scratch spare;
    Scratch& scratch = own.owns_lock() ? scratch_ : spare;
    ormel::Image& current = scratch.current;
    ormel::readHostImageInto(accessOf(src.get()), current, bands);

    // A host without temporal access answers every time with the current
    // frame: the render goes on as one without history, and the user is told.
    int32_t frames = clampTemporalFrames(settings.temporalFrames);
    if (frames > 0 && !temporalHost_) {
        tellNoEarlierFrames();
        frames = 0;
    }
    std::vector<ormel::FrameRegions> earlier;
    collectEarlierRegions(t, earlierFrameTimes(t, frames, sourceRange()), src->getUniqueIdentifier(), current.width,
                          current.height, settings, bands, scratch.reduced, earlier);

    // `current` is read again only next frame, after it has been refilled.
    // The last pass writes the host's rows itself where they can take it.
    const ormel::HostImageAccess out = accessOf(dst.get());
    if (!ormel::processFrameWithRegionsConsuming(current, earlier, settings, scratch.result, bands, scratch.frame,
                                                 ormel::hostPictureRows(out))) {
        ormel::writeHostImage(scratch.result.image, out, bands);
    }
}

ClipFrameRange VarnokPlugin::sourceRange() const {
    ClipFrameRange range;
    OfxRangeD r{0.0, 0.0};
    if (sourceClip->getFrameRange(r)) range = ClipFrameRange{true, r.min, r.max};
    return range;
}

void VarnokPlugin::tellNoEarlierFrames() {
    if (toldNoEarlierFrames_.exchange(true)) return;
    persistentWarning(
        "Varnok: this host gives no earlier frames to effects, so trails, speeds and temporal tracking are off. "
        "Temporal tracking needs a host that gives earlier frames.");
}

void VarnokPlugin::collectEarlierRegions(double time, const std::vector<double>& times,
                                         const std::string& currentLabel, int32_t width, int32_t height,
                                         const ormel::Settings& settings, const ormel::RowBands& bands,
                                         std::vector<ormel::Image>& reduced,
                                         std::vector<ormel::FrameRegions>& earlier) {
    earlier.clear();
    const int32_t frames = static_cast<int32_t>(times.size());
    if (frames < 1 || width <= 0 || height <= 0) return;
    detections_.reserve(static_cast<size_t>(frames) * 4);
    earlier.reserve(static_cast<size_t>(frames));
    // The labels this render has seen, with their times: one label at two
    // times means the host's labels do not tell pictures apart.
    std::vector<std::pair<std::string, double>> seen;
    if (!currentLabel.empty()) seen.push_back({currentLabel, time});
    auto labelIsTrusted = [&](const std::string& label, double when) {
        if (label.empty() || !labelsTrusted_) return false;
        for (const auto& s : seen)
            if (s.first == label && s.second != when) {
                labelsTrusted_ = false;
                detections_.clear();
                return false;
            }
        seen.push_back({label, when});
        return true;
    };
    const int32_t factor = ormel::detectionFactor(settings);
    const ormel::Settings detection = ormel::detectionSettings(settings);

    // One earlier frame of the host's at a time: fetched, reduced straight
    // from its memory, released before the next. The reduced pictures wait
    // (at most a quarter of a full frame of them, and at least one) and are then
    // detected side by side, a frame per host thread; each frame's regions
    // depend on that frame alone, so the bits do not depend on the threads.
    const size_t budget = std::max<size_t>(1, static_cast<size_t>(width) * static_cast<size_t>(height) / 4);
    struct Pending {
        size_t slot;  // into `earlier`
        std::string key;
    };
    std::vector<Pending> pending;
    size_t waiting = 0;
    auto detectPending = [&] {
        const int32_t count = static_cast<int32_t>(pending.size());
        auto detectOne = [&](int32_t i, const ormel::RowBands& rows) {
            earlier[pending[static_cast<size_t>(i)].slot].regions =
                ormel::detectEarlierRegions(reduced[static_cast<size_t>(i)], settings, rows);
        };
        if (count == 1 || !bands.runJobs) {
            for (int32_t i = 0; i < count; ++i) detectOne(i, bands);
        } else {
            bands.runJobs(count, [&](int32_t i) { detectOne(i, ormel::RowBands::single()); });
        }
        // Stored in frame order, so the cache ages as a one-by-one render leaves it.
        if (labelsTrusted_)
            for (const Pending& p : pending) detections_.store(p.key, earlier[p.slot].regions);
        pending.clear();
        waiting = 0;
    };

    for (const double when : times) {
        std::unique_ptr<OFX::Image> image = sourceClip->fetchImage(when);
        if (!image) continue;
        // Only frames that read as a picture of the current frame's size
        // count. The pixels are not touched before the cache has been asked:
        // a host may make them only when they are read.
        const OfxRectI& b = image->getBounds();
        const int64_t w = static_cast<int64_t>(b.x2) - b.x1;
        const int64_t h = static_cast<int64_t>(b.y2) - b.y1;
        if (!isFloatRgba(*image) || w != width || h != height) continue;
        ormel::FrameRegions e;
        e.frame = ormel::saturateToInt32(std::round(when));
        // The label together with the time: a label only names a picture at
        // its own time.
        const std::string& label = image->getUniqueIdentifier();
        std::string key;
        if (labelIsTrusted(label, when)) {
            char at[32];
            std::snprintf(at, sizeof at, "@%.17g", when);
            key = ormel::detectionKey(label + at, width, height, factor, detection);
        }
        const bool known = !key.empty() && detections_.find(key, &e.regions);
        earlier.push_back(std::move(e));
        if (known) continue;

        if (reduced.size() <= pending.size()) reduced.emplace_back();
        ormel::Image& picture = reduced[pending.size()];
        ormel::readHostImageReducedInto(accessOf(image.get()), factor, picture, bands);
        image.reset();
        pending.push_back({earlier.size() - 1, std::move(key)});
        waiting += picture.pixels.size();
        if (waiting + picture.pixels.size() > budget) detectPending();
    }
    detectPending();
}

bool VarnokPlugin::isIdentity(const OFX::IsIdentityArguments& args, OFX::Clip*& identityClip,
                              double& identityTime) {
    const double t = args.time;
    const HostParamReader host(*this, t);
    const ormel::HeldParamReader values(host, ranges_);
    if (!ormel::leavesSourceUnchanged(values)) return false;
    identityClip = sourceClip;
    identityTime = t;
    return true;
}

void VarnokPlugin::getFramesNeeded(const OFX::FramesNeededArguments& args,
                                   OFX::FramesNeededSetter& frames) {
    const double t = args.time;
    const HostParamReader host(*this, t);
    const ormel::HeldParamReader values(host, ranges_);
    if (values.getBool("fastPreview")) return;
    if (!values.getBool("useTemporalTracking")) return;
    const int32_t n = values.getInt("temporalFrames");
    if (n < 1 || !temporalHost_) return;
    // Declares exactly what render will fetch: the earlier frames the clip has.
    const std::vector<double> times = earlierFrameTimes(t, clampTemporalFrames(n), sourceRange());
    if (times.empty()) return;
    if (times.back() == t - 1) {
        frames.setFramesNeeded(*sourceClip, OfxRangeD{times.front(), t});
    } else {
        // Rendered past the clip's end: its last frames, and the current one.
        frames.setFramesNeeded(*sourceClip, OfxRangeD{times.front(), times.back()});
        frames.setFramesNeeded(*sourceClip, OfxRangeD{t, t});
    }
}

