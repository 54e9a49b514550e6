// The effect instance: one per instance the host creates. It holds a handle
// to both clips and to every parameter, fetched once at construction, and a
// cache of the regions found in earlier frames, keyed by the host's image
// labels; every action reads the parameters afresh, and the cache changes
// no result, only how often pixels are read.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/types.h"
#include "openfx/support/ofx_support.h"
#include "plugin/detection_cache.h"

// One typed handle per parameter, named after it. The handles belong to the
// OFX::ImageEffect base, which releases them with the instance.
struct VarnokParamHandles {
    // engine
    OFX::ChoiceParam* renderEngine = nullptr;

    // presets
    OFX::ChoiceParam* builtinPreset = nullptr;
    OFX::ChoiceParam* customPresetSlot = nullptr;
    OFX::StringParam* customPresetName = nullptr;
    OFX::PushButtonParam* saveCustomPreset = nullptr;
    OFX::PushButtonParam* loadCustomPreset = nullptr;
    OFX::StringParam* presetPath = nullptr;
    OFX::PushButtonParam* savePreset = nullptr;
    OFX::PushButtonParam* loadPreset = nullptr;

    // hudDisplay
    OFX::DoubleParam* hudScale = nullptr;

    // detection
    OFX::BooleanParam* fastPreview = nullptr;
    OFX::ChoiceParam* detectionScale = nullptr;
    OFX::IntParam* previewObjectLimit = nullptr;
    OFX::BooleanParam* useTemporalTracking = nullptr;
    OFX::RGBParam* targetColor = nullptr;
    OFX::DoubleParam* hueTolerance = nullptr;
    OFX::DoubleParam* saturationTolerance = nullptr;
    OFX::DoubleParam* luminanceTolerance = nullptr;
    OFX::DoubleParam* softness = nullptr;
    OFX::BooleanParam* invertSelection = nullptr;
    OFX::IntParam* blurRadius = nullptr;
    OFX::IntParam* erodeIterations = nullptr;
    OFX::IntParam* dilateIterations = nullptr;
    OFX::IntParam* minBlobArea = nullptr;
    OFX::IntParam* maxBlobArea = nullptr;
    OFX::IntParam* maxObjects = nullptr;
    OFX::DoubleParam* trackingDistance = nullptr;
    OFX::IntParam* temporalFrames = nullptr;
    OFX::ChoiceParam* outputMode = nullptr;
    OFX::DoubleParam* sourceOpacity = nullptr;

    // points
    OFX::BooleanParam* drawPoints = nullptr;
    OFX::ChoiceParam* pointShape = nullptr;
    OFX::RGBParam* pointColor = nullptr;
    OFX::DoubleParam* pointSize = nullptr;
    OFX::DoubleParam* pointStroke = nullptr;
    OFX::DoubleParam* pointOpacity = nullptr;
    OFX::BooleanParam* pointFill = nullptr;
    OFX::BooleanParam* randomPointSize = nullptr;
    OFX::DoubleParam* pointSizeMin = nullptr;
    OFX::DoubleParam* pointSizeMax = nullptr;

    // magnifier
    OFX::BooleanParam* magnifierEnable = nullptr;
    OFX::DoubleParam* magnifierIntensity = nullptr;
    OFX::DoubleParam* magnifierOpacity = nullptr;
    OFX::BooleanParam* magnifierRandom = nullptr;
    OFX::IntParam* magnifierMinTargets = nullptr;
    OFX::IntParam* magnifierMaxTargets = nullptr;
    OFX::DoubleParam* magnifierFrequency = nullptr;
    OFX::DoubleParam* magnifierRadiusScale = nullptr;

    // pointFlash
    OFX::BooleanParam* pointFlashEnable = nullptr;
    OFX::DoubleParam* pointFlashIntensity = nullptr;
    OFX::DoubleParam* pointFlashSpeed = nullptr;
    OFX::DoubleParam* pointFlashGlow = nullptr;
    OFX::BooleanParam* pointFlashRandom = nullptr;
    OFX::IntParam* pointFlashMinTargets = nullptr;
    OFX::IntParam* pointFlashMaxTargets = nullptr;
    OFX::DoubleParam* pointFlashFrequency = nullptr;

    // pointInvert
    OFX::BooleanParam* pointInvertEnable = nullptr;
    OFX::DoubleParam* pointInvertIntensity = nullptr;
    OFX::BooleanParam* pointInvertRandom = nullptr;
    OFX::IntParam* pointInvertMinTargets = nullptr;
    OFX::IntParam* pointInvertMaxTargets = nullptr;
    OFX::DoubleParam* pointInvertFrequency = nullptr;

    // boxes
    OFX::BooleanParam* drawBoxes = nullptr;
    OFX::RGBParam* boxColor = nullptr;
    OFX::DoubleParam* boxStroke = nullptr;
    OFX::BooleanParam* drawBoxText = nullptr;
    OFX::BooleanParam* boxTextCoordinates = nullptr;
    OFX::ChoiceParam* boxTextCorner = nullptr;
    OFX::IntParam* boxTextScale = nullptr;
    OFX::BooleanParam* randomBoxTextSize = nullptr;
    OFX::IntParam* boxTextSizeMin = nullptr;
    OFX::IntParam* boxTextSizeMax = nullptr;
    OFX::IntParam* boxTextOffset = nullptr;
    OFX::RGBParam* boxTextColor = nullptr;

    // lines
    OFX::BooleanParam* drawLines = nullptr;
    OFX::ChoiceParam* connectionMode = nullptr;
    OFX::RGBParam* lineColor = nullptr;
    OFX::DoubleParam* lineWidth = nullptr;
    OFX::DoubleParam* lineOpacity = nullptr;
    OFX::DoubleParam* maxConnectionDistance = nullptr;
    OFX::DoubleParam* lineJitter = nullptr;
    OFX::DoubleParam* lineFlicker = nullptr;
    OFX::DoubleParam* dashLength = nullptr;
    OFX::ChoiceParam* lineCurveMode = nullptr;
    OFX::DoubleParam* lineCurveAmount = nullptr;
    OFX::ChoiceParam* lineMotif = nullptr;
    OFX::DoubleParam* motifSpacing = nullptr;
    OFX::DoubleParam* motifSize = nullptr;
    OFX::DoubleParam* motifOpacity = nullptr;

    // trails
    OFX::BooleanParam* drawTrails = nullptr;
    OFX::RGBParam* trailColor = nullptr;
    OFX::DoubleParam* trailWidth = nullptr;
    OFX::DoubleParam* trailOpacity = nullptr;

    // labels
    OFX::BooleanParam* drawLabels = nullptr;
    OFX::ChoiceParam* labelTextMode = nullptr;
    OFX::BooleanParam* labelCoordinates = nullptr;
    OFX::BooleanParam* labelVelocity = nullptr;
    OFX::IntParam* labelScale = nullptr;
    OFX::IntParam* labelOffsetX = nullptr;
    OFX::IntParam* labelOffsetY = nullptr;
    OFX::RGBParam* labelColor = nullptr;

    // crt
    OFX::DoubleParam* glowAmount = nullptr;
    OFX::DoubleParam* scanline = nullptr;
    OFX::DoubleParam* noise = nullptr;
    OFX::DoubleParam* vignette = nullptr;
    OFX::DoubleParam* chromaticAberration = nullptr;
    OFX::DoubleParam* glitchAmount = nullptr;
    OFX::DoubleParam* vhsFlicker = nullptr;
    OFX::DoubleParam* lensDistortion = nullptr;
    OFX::DoubleParam* fisheye = nullptr;
    OFX::DoubleParam* invertAmount = nullptr;
    OFX::DoubleParam* radialBlur = nullptr;
    OFX::ChoiceParam* asciiMode = nullptr;
    OFX::DoubleParam* asciiAmount = nullptr;
    OFX::IntParam* asciiCellSize = nullptr;

    // pixelSort
    OFX::BooleanParam* pixelSortEnable = nullptr;
    OFX::ChoiceParam* pixelSortScope = nullptr;
    OFX::ChoiceParam* pixelSortDirection = nullptr;
    OFX::RGBParam* pixelSortColor = nullptr;
    OFX::DoubleParam* pixelSortColorMix = nullptr;
    OFX::DoubleParam* pixelSortAmount = nullptr;
    OFX::IntParam* pixelSortLength = nullptr;
    OFX::DoubleParam* pixelSortThreshold = nullptr;
    OFX::BooleanParam* pixelSortRandomize = nullptr;
    OFX::DoubleParam* pixelSortRandomAmount = nullptr;
    OFX::DoubleParam* pixelSortBlur = nullptr;
    OFX::DoubleParam* pixelSortGlow = nullptr;

    // crt, declared last of all
    OFX::IntParam* seed = nullptr;
};

class VarnokPlugin : public OFX::ImageEffect {
public:
    explicit VarnokPlugin(OfxImageEffectHandle handle);
    ~VarnokPlugin() override;

    void render(const OFX::RenderArguments& args) override;
    bool isIdentity(const OFX::IsIdentityArguments& args, OFX::Clip*& identityClip,
                    double& identityTime) override;
    void getFramesNeeded(const OFX::FramesNeededArguments& args,
                         OFX::FramesNeededSetter& frames) override;
    void changedParam(const OFX::InstanceChangedArgs& args, const std::string& paramName) override;
    // Logs how often earlier frames were recognised by their label, once per
    // sequence the host renders.
    void endSequenceRender(const OFX::EndSequenceRenderArguments& args) override;

    // Every non-preset parameter at `time`, converted, scaled by the HUD size
    // factor and with fast preview and temporal tracking folded in.
    ormel::Settings settingsAt(double time) const;

    // Preset operations (varnok_plugin_presets.cpp). Looks and files change
    // the effect only by writing parameter values through the host.
    void applyPresetBase();
    void applyBuiltinPreset(int index);
    void savePreset(const std::string& path, double time, const std::string& name);
    bool loadPreset(const std::string& path);
    // customPresetName, or "Preset perso NN" for the selected slot when empty.
    std::string currentCustomPresetName() const;

    // Read access for the actions and the preset operations.
    OFX::Clip* outputClip = nullptr;
    OFX::Clip* sourceClip = nullptr;
    VarnokParamHandles params;

private:
    // The regions of one earlier source frame, from the cache or read from
    // the host image reduced for detection; false when the frame is missing
    // or of another size than `width` x `height`.
    bool earlierRegions(double time, int32_t width, int32_t height, const ormel::Settings& settings,
                        std::vector<ormel::Blob>* regions);

    ormel::DetectionCache detections_;
    // Frame-sized memory reused from one render to the next, so a render
    // takes no fresh pages; every render overwrites all of it. Renders of one
    // instance come one at a time, and a render that finds it busy uses its own.
    struct Scratch {
        ormel::Image current;
        ormel::TraceResult result;
    };
    std::mutex scratchMutex_;
    Scratch scratch_;
};
