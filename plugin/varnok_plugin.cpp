#include "plugin/varnok_plugin.h"

#include <array>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "engine/int_conversion.h"
#include "engine/process_frame.h"
#include "openfx/support/ofx_suites.h"
#include "plugin/host_threads.h"
#include "plugin/image_transfer.h"
#include "plugin/image_transfer_bands.h"
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

// A missing image, or one in a layout other than float RGBA, reads as empty.
ormel::Image readImage(OFX::Image* image, const ormel::RowBands& bands) {
    return ormel::readHostImage(accessOf(image), bands);
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

VarnokPlugin::VarnokPlugin(OfxImageEffectHandle handle) : OFX::ImageEffect(handle) {
    outputClip = fetchClip(kOfxImageEffectOutputClipName);
    sourceClip = fetchClip(kOfxImageEffectSimpleSourceClipName);
    params.builtinPreset = fetchChoiceParam("builtinPreset");
    params.customPresetSlot = fetchChoiceParam("customPresetSlot");
    params.customPresetName = fetchStringParam("customPresetName");
    params.saveCustomPreset = fetchPushButtonParam("saveCustomPreset");
    params.loadCustomPreset = fetchPushButtonParam("loadCustomPreset");
    params.renderEngine = fetchChoiceParam("renderEngine");
    params.fastPreview = fetchBooleanParam("fastPreview");
    params.detectionScale = fetchChoiceParam("detectionScale");
    params.previewObjectLimit = fetchIntParam("previewObjectLimit");
    params.useTemporalTracking = fetchBooleanParam("useTemporalTracking");
    params.targetColor = fetchRGBParam("targetColor");
    params.hueTolerance = fetchDoubleParam("hueTolerance");
    params.saturationTolerance = fetchDoubleParam("saturationTolerance");
    params.luminanceTolerance = fetchDoubleParam("luminanceTolerance");
    params.softness = fetchDoubleParam("softness");
    params.invertSelection = fetchBooleanParam("invertSelection");
    params.blurRadius = fetchIntParam("blurRadius");
    params.erodeIterations = fetchIntParam("erodeIterations");
    params.dilateIterations = fetchIntParam("dilateIterations");
    params.minBlobArea = fetchIntParam("minBlobArea");
    params.maxBlobArea = fetchIntParam("maxBlobArea");
    params.maxObjects = fetchIntParam("maxObjects");
    params.trackingDistance = fetchDoubleParam("trackingDistance");
    params.temporalFrames = fetchIntParam("temporalFrames");
    params.outputMode = fetchChoiceParam("outputMode");
    params.sourceOpacity = fetchDoubleParam("sourceOpacity");
    params.hudScale = fetchDoubleParam("hudScale");
    params.drawPoints = fetchBooleanParam("drawPoints");
    params.pointShape = fetchChoiceParam("pointShape");
    params.pointColor = fetchRGBParam("pointColor");
    params.pointSize = fetchDoubleParam("pointSize");
    params.pointStroke = fetchDoubleParam("pointStroke");
    params.pointOpacity = fetchDoubleParam("pointOpacity");
    params.pointFill = fetchBooleanParam("pointFill");
    params.randomPointSize = fetchBooleanParam("randomPointSize");
    params.pointSizeMin = fetchDoubleParam("pointSizeMin");
    params.pointSizeMax = fetchDoubleParam("pointSizeMax");
    params.magnifierEnable = fetchBooleanParam("magnifierEnable");
    params.magnifierIntensity = fetchDoubleParam("magnifierIntensity");
    params.magnifierOpacity = fetchDoubleParam("magnifierOpacity");
    params.magnifierRandom = fetchBooleanParam("magnifierRandom");
    params.magnifierMinTargets = fetchIntParam("magnifierMinTargets");
    params.magnifierMaxTargets = fetchIntParam("magnifierMaxTargets");
    params.magnifierFrequency = fetchDoubleParam("magnifierFrequency");
    params.magnifierRadiusScale = fetchDoubleParam("magnifierRadiusScale");
    params.pointFlashEnable = fetchBooleanParam("pointFlashEnable");
    params.pointFlashIntensity = fetchDoubleParam("pointFlashIntensity");
    params.pointFlashSpeed = fetchDoubleParam("pointFlashSpeed");
    params.pointFlashGlow = fetchDoubleParam("pointFlashGlow");
    params.pointFlashRandom = fetchBooleanParam("pointFlashRandom");
    params.pointFlashMinTargets = fetchIntParam("pointFlashMinTargets");
    params.pointFlashMaxTargets = fetchIntParam("pointFlashMaxTargets");
    params.pointFlashFrequency = fetchDoubleParam("pointFlashFrequency");
    params.pointInvertEnable = fetchBooleanParam("pointInvertEnable");
    params.pointInvertIntensity = fetchDoubleParam("pointInvertIntensity");
    params.pointInvertRandom = fetchBooleanParam("pointInvertRandom");
    params.pointInvertMinTargets = fetchIntParam("pointInvertMinTargets");
    params.pointInvertMaxTargets = fetchIntParam("pointInvertMaxTargets");
    params.pointInvertFrequency = fetchDoubleParam("pointInvertFrequency");
    params.drawBoxes = fetchBooleanParam("drawBoxes");
    params.boxColor = fetchRGBParam("boxColor");
    params.boxStroke = fetchDoubleParam("boxStroke");
    params.drawBoxText = fetchBooleanParam("drawBoxText");
    params.boxTextCoordinates = fetchBooleanParam("boxTextCoordinates");
    params.boxTextCorner = fetchChoiceParam("boxTextCorner");
    params.boxTextScale = fetchIntParam("boxTextScale");
    params.randomBoxTextSize = fetchBooleanParam("randomBoxTextSize");
    params.boxTextSizeMin = fetchIntParam("boxTextSizeMin");
    params.boxTextSizeMax = fetchIntParam("boxTextSizeMax");
    params.boxTextOffset = fetchIntParam("boxTextOffset");
    params.boxTextColor = fetchRGBParam("boxTextColor");
    params.drawLines = fetchBooleanParam("drawLines");
    params.connectionMode = fetchChoiceParam("connectionMode");
    params.lineColor = fetchRGBParam("lineColor");
    params.lineWidth = fetchDoubleParam("lineWidth");
    params.lineOpacity = fetchDoubleParam("lineOpacity");
    params.maxConnectionDistance = fetchDoubleParam("maxConnectionDistance");
    params.lineJitter = fetchDoubleParam("lineJitter");
    params.lineFlicker = fetchDoubleParam("lineFlicker");
    params.dashLength = fetchDoubleParam("dashLength");
    params.lineCurveMode = fetchChoiceParam("lineCurveMode");
    params.lineCurveAmount = fetchDoubleParam("lineCurveAmount");
    params.lineMotif = fetchChoiceParam("lineMotif");
    params.motifSpacing = fetchDoubleParam("motifSpacing");
    params.motifSize = fetchDoubleParam("motifSize");
    params.motifOpacity = fetchDoubleParam("motifOpacity");
    params.drawTrails = fetchBooleanParam("drawTrails");
    params.trailColor = fetchRGBParam("trailColor");
    params.trailWidth = fetchDoubleParam("trailWidth");
    params.trailOpacity = fetchDoubleParam("trailOpacity");
    params.drawLabels = fetchBooleanParam("drawLabels");
    params.labelTextMode = fetchChoiceParam("labelTextMode");
    params.labelCoordinates = fetchBooleanParam("labelCoordinates");
    params.labelVelocity = fetchBooleanParam("labelVelocity");
    params.labelScale = fetchIntParam("labelScale");
    params.labelOffsetX = fetchIntParam("labelOffsetX");
    params.labelOffsetY = fetchIntParam("labelOffsetY");
    params.labelColor = fetchRGBParam("labelColor");
    params.glowAmount = fetchDoubleParam("glowAmount");
    params.scanline = fetchDoubleParam("scanline");
    params.noise = fetchDoubleParam("noise");
    params.vignette = fetchDoubleParam("vignette");
    params.chromaticAberration = fetchDoubleParam("chromaticAberration");
    params.glitchAmount = fetchDoubleParam("glitchAmount");
    params.vhsFlicker = fetchDoubleParam("vhsFlicker");
    params.lensDistortion = fetchDoubleParam("lensDistortion");
    params.fisheye = fetchDoubleParam("fisheye");
    params.invertAmount = fetchDoubleParam("invertAmount");
    params.radialBlur = fetchDoubleParam("radialBlur");
    params.asciiMode = fetchChoiceParam("asciiMode");
    params.asciiAmount = fetchDoubleParam("asciiAmount");
    params.asciiCellSize = fetchIntParam("asciiCellSize");
    params.pixelSortEnable = fetchBooleanParam("pixelSortEnable");
    params.pixelSortScope = fetchChoiceParam("pixelSortScope");
    params.pixelSortDirection = fetchChoiceParam("pixelSortDirection");
    params.pixelSortColor = fetchRGBParam("pixelSortColor");
    params.pixelSortColorMix = fetchDoubleParam("pixelSortColorMix");
    params.pixelSortAmount = fetchDoubleParam("pixelSortAmount");
    params.pixelSortLength = fetchIntParam("pixelSortLength");
    params.pixelSortThreshold = fetchDoubleParam("pixelSortThreshold");
    params.pixelSortRandomize = fetchBooleanParam("pixelSortRandomize");
    params.pixelSortRandomAmount = fetchDoubleParam("pixelSortRandomAmount");
    params.pixelSortBlur = fetchDoubleParam("pixelSortBlur");
    params.pixelSortGlow = fetchDoubleParam("pixelSortGlow");
    params.seed = fetchIntParam("seed");
    params.presetPath = fetchStringParam("presetPath");
    params.savePreset = fetchPushButtonParam("savePreset");
    params.loadPreset = fetchPushButtonParam("loadPreset");
}

VarnokPlugin::~VarnokPlugin() = default;

ormel::Settings VarnokPlugin::settingsAt(double time) const {
    // The fetches only look up the handles made at construction.
    const HostParamReader reader(const_cast<VarnokPlugin&>(*this), time);
    return ormel::sampleSettings(reader, time);
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

    const ormel::Settings settings = settingsAt(t);
    // The host's threads, when it lends them, share out each pass of the frame.
    const ormel::RowBands bands = ormel::rowBandsFrom(OFX::suites().multiThread);
    const ormel::Image current = readImage(src.get(), bands);

    std::vector<ormel::FrameSample> history;
    history.reserve(static_cast<size_t>(clampTemporalFrames(settings.temporalFrames)));
    for (int32_t n = clampTemporalFrames(settings.temporalFrames); n >= 1; --n) {
        const double when = t - n;
        std::unique_ptr<OFX::Image> earlier = sourceClip->fetchImage(when);
        if (!earlier) continue;
        ormel::FrameSample sample;
        sample.frame = ormel::saturateToInt32(std::round(when));
        sample.image = readImage(earlier.get(), bands);
        if (sample.image.width == current.width && sample.image.height == current.height)
            history.push_back(std::move(sample));
    }

    const ormel::TraceResult result = ormel::processFrame(current, history, settings, bands);
    ormel::writeHostImage(result.image, accessOf(dst.get()), bands);
}

bool VarnokPlugin::isIdentity(const OFX::IsIdentityArguments& args, OFX::Clip*& identityClip,
                              double& identityTime) {
    const double t = args.time;
    const VarnokParamHandles& p = params;
    if (p.outputMode->getValueAtTime(t) != 0) return false;
    for (const OFX::BooleanParam* layer :
         {p.drawPoints, p.drawBoxes, p.drawLines, p.drawTrails, p.drawLabels}) {
        if (layer->getValueAtTime(t)) return false;
    }
    // Written as !(v <= 0) so that a NaN amount never counts as switched off.
    for (const OFX::DoubleParam* amount : {p.glowAmount, p.scanline, p.noise, p.vignette,
                                           p.chromaticAberration, p.glitchAmount, p.vhsFlicker}) {
        if (!(amount->getValueAtTime(t) <= 0.0)) return false;
    }
    if (p.lensDistortion->getValueAtTime(t) != 0.0) return false;
    for (const OFX::DoubleParam* amount : {p.fisheye, p.invertAmount, p.radialBlur, p.asciiAmount}) {
        if (!(amount->getValueAtTime(t) <= 0.0)) return false;
    }
    if (p.pixelSortEnable->getValueAtTime(t) && !(p.pixelSortAmount->getValueAtTime(t) <= 0.0))
        return false;
    if (!(p.sourceOpacity->getValueAtTime(t) >= 1.0)) return false;
    // A point effect draws on the picture even with every layer off, so the
    // host must not skip the effect while one is switched on with strength.
    const std::pair<const OFX::BooleanParam*, const OFX::DoubleParam*> pointEffects[] = {
        {p.magnifierEnable, p.magnifierIntensity},
        {p.pointFlashEnable, p.pointFlashIntensity},
        {p.pointInvertEnable, p.pointInvertIntensity},
    };
    for (const auto& effect : pointEffects) {
        if (effect.first->getValueAtTime(t) && !(effect.second->getValueAtTime(t) <= 0.0))
            return false;
    }
    identityClip = sourceClip;
    identityTime = t;
    return true;
}

void VarnokPlugin::getFramesNeeded(const OFX::FramesNeededArguments& args,
                                   OFX::FramesNeededSetter& frames) {
    const double t = args.time;
    if (params.fastPreview->getValueAtTime(t)) return;
    if (!params.useTemporalTracking->getValueAtTime(t)) return;
    const int32_t n = params.temporalFrames->getValueAtTime(t);
    if (n < 1) return;
    // Declares exactly what render will fetch.
    frames.setFramesNeeded(*sourceClip, OfxRangeD{t - clampTemporalFrames(n), t});
}

