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
#include "pipeline/earlier_regions.h"
#include "pipeline/process_frame.h"
#include "engine/reduction.h"
#include "openfx/support/ofx_suites.h"
#include "plugin/held_param_reader.h"
#include "plugin/host_threads.h"
#include "plugin/image_transfer.h"
#include "plugin/image_transfer_bands.h"
#include "catalogue/param_catalogue.h"
#include "plugin/settings_sampling.h"
#include "plugin/remembered_regions.h"
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

// The source clip's frames before `time`, as one render fetches them: only
// those inside the clip's frame range, of the current frame's size and read
// as float RGBA; their regions come from the instance's cache when the
// host's label is to be trusted.
class HostEarlierFrames : public ormel::EarlierFrames {
public:
    HostEarlierFrames(OFX::Clip& clip, double time, const ClipFrameRange& range, const OFX::Image& current,
                      int32_t width, int32_t height, const ormel::Settings& settings, const ormel::RowBands& bands,
                      ormel::DetectionCache& detections, std::atomic<bool>& labelsTrusted)
        : clip_(clip), time_(time), range_(range), currentPixels_(current.getPixelData()), width_(width), height_(height),
          factor_(ormel::detectionFactor(settings)), detection_(ormel::detectionSettings(settings)), bands_(bands),
          detections_(detections), labelsTrusted_(labelsTrusted) {
        const std::string& currentLabel = current.getUniqueIdentifier();
        if (!currentLabel.empty()) seen_.push_back({currentLabel, time});
    }

    // Whether any earlier frame came as a picture of its own: a host that
    // answers with nothing, or with the current frame's own pixels, gives
    // no earlier frames.
    bool delivered() const { return delivered_; }
    // Whether a fetch at an earlier time came back with the current frame.
    bool gaveCurrentFrame() const { return gaveCurrent_; }

    ormel::EarlierFrame fetch(int32_t offset, ormel::Image& spare) override {
        ormel::EarlierFrame e;
        const double when = time_ - offset;
        if (!insideRange(range_, when)) return e;
        std::unique_ptr<OFX::Image> image = clip_.fetchImage(when);
        if (!image) return e;
        // Only frames that read as a picture of the current frame's size
        // count. The pixels are not touched before the cache has been asked:
        // a host may make them only when they are read.
        const OfxRectI& b = image->getBounds();
        const int64_t w = static_cast<int64_t>(b.x2) - b.x1;
        const int64_t h = static_cast<int64_t>(b.y2) - b.y1;
        if (!isFloatRgba(*image) || w != width_ || h != height_) return e;
        e.frame = ormel::saturateToInt32(std::round(when));
        // The label together with the time: a label only names a picture at
        // its own time.
        const std::string& label = image->getUniqueIdentifier();
        if (keys_.size() <= static_cast<size_t>(offset)) keys_.resize(static_cast<size_t>(offset) + 1);
        std::string& key = keys_[static_cast<size_t>(offset)];
        key.clear();
        if (labelIsTrusted(label, when)) {
            char at[32];
            std::snprintf(at, sizeof at, "@%.17g", when);
            key = ormel::detectionKey(label + at, width_, height_, factor_, detection_);
        }
        if (!key.empty() && detections_.find(key, &e.regions)) {
            e.kind = ormel::EarlierFrame::Kind::Regions;
            delivered_ = true;
            return e;
        }
        if (currentPixels_ != nullptr && image->getPixelData() == currentPixels_) {
            gaveCurrent_ = true;
            return e;
        }
        delivered_ = true;
        // Reduced straight from the host's memory, and released before the next.
        ormel::readHostImageReducedInto(accessOf(image.get()), factor_, spare, bands_);
        e.kind = ormel::EarlierFrame::Kind::Picture;
        e.picture = &spare;
        return e;
    }

    // Stored in frame order, so the cache ages as a one-by-one render leaves it.
    void detected(int32_t offset, const std::vector<ormel::Blob>& regions) override {
        if (labelsTrusted_) detections_.store(keys_[static_cast<size_t>(offset)], regions);
    }

private:
    // One label at two times means the host's labels do not tell pictures
    // apart: the cache is then lost for the instance.
    bool labelIsTrusted(const std::string& label, double when) {
        if (label.empty() || !labelsTrusted_) return false;
        for (const auto& s : seen_)
            if (s.first == label && s.second != when) {
                labelsTrusted_ = false;
                detections_.clear();
                return false;
            }
        seen_.push_back({label, when});
        return true;
    }

    OFX::Clip& clip_;
    const double time_;
    const ClipFrameRange range_;
    void* const currentPixels_;
    bool delivered_ = false, gaveCurrent_ = false;
    const int32_t width_, height_;
    const int32_t factor_;
    const ormel::Settings detection_;
    const ormel::RowBands& bands_;
    ormel::DetectionCache& detections_;
    std::atomic<bool>& labelsTrusted_;
    std::vector<std::string> keys_;  // by offset
    std::vector<std::pair<std::string, double>> seen_;  // the labels this render has seen, with their times
};

// One render's use of the process's remembered regions: what it recalls
// for its earlier frames and, once it has rendered, what it found in its own.
class RememberedUse {
public:
    ~RememberedUse() { memory().finish(ticket_, nullptr); }

    void begin(const ormel::Settings& settings, int32_t width, int32_t height, double time, int32_t frames,
               const ClipFrameRange& range, std::vector<ormel::FrameRegions>& earlier) {
        const std::string key = ormel::detectionKey("remembered", width, height, ormel::detectionFactor(settings),
                                                    ormel::detectionSettings(settings));
        ticket_ = memory().begin(key, time, frames, earlier);
        // Only frames the clip has, as a host that serves them would give.
        earlier.erase(std::remove_if(earlier.begin(), earlier.end(),
                                     [&](const ormel::FrameRegions& f) { return !insideRange(range, f.frame); }),
                      earlier.end());
    }
    void finish(const std::vector<ormel::Blob>& regions) { memory().finish(ticket_, &regions); }

private:
    static ormel::RememberedRegions& memory() {
        static ormel::RememberedRegions remembered;
        return remembered;
    }
    ormel::RememberedRegions::Ticket ticket_;
};

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
    // frame: no earlier frame is fetched from it.
    const int32_t frames = clampTemporalFrames(settings.temporalFrames);
    const ClipFrameRange range = sourceRange();
    const size_t usable = earlierFrameTimes(t, frames, range).size();
    if (usable > 0 && current.width > 0 && current.height > 0) detections_.reserve(usable * 4);
    HostEarlierFrames history(*sourceClip, t, range, *src, current.width, current.height, settings, bands,
                              detections_, labelsTrusted_);
    std::vector<ormel::FrameRegions> earlier;
    ormel::collectEarlierRegions(history, temporalHost_ ? frames : 0, current.width, current.height, settings,
                                 bands, scratch.reduced, earlier);
    // Where the host gave none, the regions remembered from the frames
    // rendered before stand in for them.
    RememberedUse remembered;
    if (frames > 0 && !history.delivered() && current.width > 0 && current.height > 0) {
        remembered.begin(settings, current.width, current.height, t, frames, range, earlier);
        // Missing frames are no news; a host that has none to give is.
        if (!temporalHost_ || history.gaveCurrentFrame()) tellNoEarlierFrames(!earlier.empty());
    }

    // `current` is read again only next frame, after it has been refilled.
    // The last pass writes the host's rows itself where they can take it.
    const ormel::HostImageAccess out = accessOf(dst.get());
    const ormel::PictureRows rows = ormel::hostPictureRows(out);
    if (!ormel::processFrameConsuming(current, earlier, settings, scratch.result, bands, scratch.frame, &rows)) {
        ormel::writeHostImage(scratch.result.image, out, bands);
    }
    remembered.finish(scratch.frame.regions);
}

ClipFrameRange VarnokPlugin::sourceRange() const {
    ClipFrameRange range;
    OfxRangeD r{0.0, 0.0};
    if (sourceClip->getFrameRange(r)) range = ClipFrameRange{true, r.min, r.max};
    return range;
}

void VarnokPlugin::tellNoEarlierFrames(bool rememberedInUse) {
    // Once per process: a host may make an instance for every frame.
    static std::atomic<bool> told{false};
    if (rememberedInUse) {
        if (showingNoEarlierFrames_.exchange(false)) clearPersistentMessage();
        return;
    }
    if (told.exchange(true)) return;
    showingNoEarlierFrames_ = true;
    persistentWarning(
        "Varnok: this host gives no earlier frames to effects. Trails, speeds and temporal tracking use the "
        "regions remembered from the frames rendered before, so render the clip in order from its first frame; "
        "a frame reached by a jump shows only what was remembered.");
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

void VarnokPlugin::getClipPreferences(OFX::ClipPreferencesSetter& preferences) {
    // Declared as rendered, in every output mode: the overlay alone is drawn
    // over transparent black with colour mixed by coverage; the matte carries
    // the mask in colour and alpha alike; over the source, its opacity scales
    // colour and alpha together and the overlay is laid on with the
    // premultiplied over.
    preferences.setOutputPremultiplication(kOfxImagePreMultiplied);
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

