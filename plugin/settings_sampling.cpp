// VarnokPlugin::settingsAt: all non-preset parameters at one time, turned into
// the engine's Settings record.
#include <algorithm>
#include <cmath>

#include "engine/int_conversion.h"
#include "plugin/temporal_limits.h"
#include "plugin/varnok_plugin.h"

namespace {

using ormel::Pixel;

// HUD size factor bounds; NaN counts as the lower one.
constexpr double kMinHudScale = 0.1;
constexpr double kMaxHudScale = 12.0;

float hudFactor(double value) {
    double k = value;
    if (!(k >= kMinHudScale)) k = kMinHudScale;
    if (k > kMaxHudScale) k = kMaxHudScale;
    return static_cast<float>(k);
}

// Nearest whole number, halves away from zero, saturated to int32.
int32_t roundHalfAway(double v) { return ormel::saturateToInt32(std::round(v)); }

struct Sampler {
    const VarnokParamHandles& p;
    double t;
    float k;

    float real(const OFX::DoubleParam* d) const { return static_cast<float>(d->getValueAtTime(t)); }
    int32_t integer(const OFX::IntParam* i) const { return i->getValueAtTime(t); }
    int32_t index(const OFX::ChoiceParam* c) const { return c->getValueAtTime(t); }
    bool flag(const OFX::BooleanParam* b) const { return b->getValueAtTime(t); }
    Pixel colour(const OFX::RGBParam* c) const {
        double r = 0.0, g = 0.0, b = 0.0;
        c->getValueAtTime(t, r, g, b);
        return Pixel{static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), 1.0f};
    }
    // Pixel sizes grow with the HUD factor, multiplied in float.
    float size(const OFX::DoubleParam* d) const { return real(d) * k; }
    // Text sizes and offsets: the integer times k, rounded in double.
    int32_t offset(const OFX::IntParam* i) const {
        return roundHalfAway(static_cast<double>(integer(i)) * static_cast<double>(k));
    }
    int32_t textSize(const OFX::IntParam* i) const { return std::max(offset(i), 1); }
};

int32_t detectionFactor(int32_t index) {
    static const int32_t kFactors[4] = {1, 2, 4, 8};
    return kFactors[std::clamp(index, 0, 3)];
}

}  // namespace

ormel::Settings VarnokPlugin::settingsAt(double time) const {
    const VarnokParamHandles& p = params;
    ormel::Settings s;
    const Sampler in{p, time, hudFactor(p.hudScale->getValueAtTime(time))};

    const bool preview = in.flag(p.fastPreview);
    const int32_t scaleIndex = std::clamp(in.index(p.detectionScale), 0, 3);
    s.renderEngine = in.index(p.renderEngine) > 0 ? 1 : 0;

    s.targetColor = in.colour(p.targetColor);
    s.hueTolerance = in.real(p.hueTolerance);
    s.saturationTolerance = in.real(p.saturationTolerance);
    s.luminanceTolerance = in.real(p.luminanceTolerance);
    s.softness = in.real(p.softness);
    s.invertSelection = in.flag(p.invertSelection);
    s.blurRadius = in.integer(p.blurRadius);
    s.erodeIterations = in.integer(p.erodeIterations);
    s.dilateIterations = in.integer(p.dilateIterations);
    s.minBlobArea = in.integer(p.minBlobArea);
    s.maxBlobArea = in.integer(p.maxBlobArea);
    s.maxObjects = in.integer(p.maxObjects);
    s.trackingDistance = in.real(p.trackingDistance);

    // Every earlier frame is fetched and converted at each render, so the
    // count is held to the control's own range whatever a preset file says.
    s.temporalFrames = in.flag(p.useTemporalTracking)
                           ? clampTemporalFrames(in.integer(p.temporalFrames))
                           : 0;
    s.detectionScale = detectionFactor(scaleIndex);
    if (preview) {
        s.detectionScale = std::max(s.detectionScale, 2);
        s.temporalFrames = 0;
        s.maxObjects = std::min(std::max(in.integer(p.previewObjectLimit), 1), s.maxObjects);
        s.maxConnectionEdges = 256;
    } else {
        s.maxConnectionEdges = 4096;
    }

    s.outputMode = in.index(p.outputMode);
    s.sourceOpacity = in.real(p.sourceOpacity);
    s.hudScale = in.k;

    s.drawPoints = in.flag(p.drawPoints);
    s.pointShape = in.index(p.pointShape);
    s.pointColor = in.colour(p.pointColor);
    s.pointSize = in.size(p.pointSize);
    s.pointStroke = in.size(p.pointStroke);
    s.pointOpacity = in.real(p.pointOpacity);
    s.pointFill = in.flag(p.pointFill);
    s.randomPointSize = in.flag(p.randomPointSize);
    s.pointSizeMin = in.size(p.pointSizeMin);
    s.pointSizeMax = in.size(p.pointSizeMax);

    s.magnifierEnable = in.flag(p.magnifierEnable);
    s.magnifierIntensity = in.real(p.magnifierIntensity);
    s.magnifierOpacity = in.real(p.magnifierOpacity);
    s.magnifierRandom = in.flag(p.magnifierRandom);
    s.magnifierMinTargets = in.integer(p.magnifierMinTargets);
    s.magnifierMaxTargets = in.integer(p.magnifierMaxTargets);
    s.magnifierFrequency = in.real(p.magnifierFrequency);
    s.magnifierRadiusScale = in.real(p.magnifierRadiusScale);
    s.pointFlashEnable = in.flag(p.pointFlashEnable);
    s.pointFlashIntensity = in.real(p.pointFlashIntensity);
    s.pointFlashSpeed = in.real(p.pointFlashSpeed);
    s.pointFlashGlow = in.real(p.pointFlashGlow);
    s.pointFlashRandom = in.flag(p.pointFlashRandom);
    s.pointFlashMinTargets = in.integer(p.pointFlashMinTargets);
    s.pointFlashMaxTargets = in.integer(p.pointFlashMaxTargets);
    s.pointFlashFrequency = in.real(p.pointFlashFrequency);
    s.pointInvertEnable = in.flag(p.pointInvertEnable);
    s.pointInvertIntensity = in.real(p.pointInvertIntensity);
    s.pointInvertRandom = in.flag(p.pointInvertRandom);
    s.pointInvertMinTargets = in.integer(p.pointInvertMinTargets);
    s.pointInvertMaxTargets = in.integer(p.pointInvertMaxTargets);
    s.pointInvertFrequency = in.real(p.pointInvertFrequency);

    s.drawBoxes = in.flag(p.drawBoxes);
    s.boxColor = in.colour(p.boxColor);
    s.boxStroke = in.size(p.boxStroke);
    s.drawBoxText = in.flag(p.drawBoxText);
    s.boxTextCoordinates = in.flag(p.boxTextCoordinates);
    s.boxTextCorner = in.index(p.boxTextCorner);
    s.boxTextScale = in.textSize(p.boxTextScale);
    s.randomBoxTextSize = in.flag(p.randomBoxTextSize);
    s.boxTextSizeMin = in.textSize(p.boxTextSizeMin);
    s.boxTextSizeMax = in.textSize(p.boxTextSizeMax);
    s.boxTextOffset = in.offset(p.boxTextOffset);
    s.boxTextColor = in.colour(p.boxTextColor);

    s.drawLines = in.flag(p.drawLines);
    s.connectionMode = in.index(p.connectionMode);
    s.lineColor = in.colour(p.lineColor);
    s.lineWidth = in.size(p.lineWidth);
    s.lineOpacity = in.real(p.lineOpacity);
    s.maxConnectionDistance = in.real(p.maxConnectionDistance);
    s.lineJitter = in.size(p.lineJitter);
    s.lineFlicker = in.real(p.lineFlicker);
    s.dashLength = in.size(p.dashLength);
    s.lineCurveMode = in.index(p.lineCurveMode);
    s.lineCurveAmount = in.size(p.lineCurveAmount);
    s.lineMotif = in.index(p.lineMotif);
    s.motifSpacing = in.size(p.motifSpacing);
    s.motifSize = in.size(p.motifSize);
    s.motifOpacity = in.real(p.motifOpacity);

    s.drawTrails = preview ? false : in.flag(p.drawTrails);
    s.trailColor = in.colour(p.trailColor);
    s.trailWidth = in.size(p.trailWidth);
    s.trailOpacity = in.real(p.trailOpacity);

    s.drawLabels = in.flag(p.drawLabels);
    s.labelTextMode = std::clamp(in.index(p.labelTextMode), 0, 6);
    s.labelCoordinates = in.flag(p.labelCoordinates);
    s.labelVelocity = in.flag(p.labelVelocity);
    s.labelScale = in.textSize(p.labelScale);
    s.labelOffsetX = in.offset(p.labelOffsetX);
    s.labelOffsetY = in.offset(p.labelOffsetY);
    s.labelColor = in.colour(p.labelColor);

    s.glowAmount = in.real(p.glowAmount);
    s.scanline = in.real(p.scanline);
    s.noise = in.real(p.noise);
    s.vignette = in.real(p.vignette);
    s.chromaticAberration = in.real(p.chromaticAberration);
    s.glitchAmount = in.real(p.glitchAmount);
    s.vhsFlicker = in.real(p.vhsFlicker);
    s.lensDistortion = in.real(p.lensDistortion);
    s.fisheye = in.real(p.fisheye);
    s.invertAmount = in.real(p.invertAmount);
    s.radialBlur = in.real(p.radialBlur);
    s.asciiMode = in.index(p.asciiMode);
    s.asciiAmount = in.real(p.asciiAmount);
    s.asciiCellSize = in.integer(p.asciiCellSize);

    s.pixelSortEnable = in.flag(p.pixelSortEnable);
    s.pixelSortScope = in.index(p.pixelSortScope);
    s.pixelSortDirection = in.index(p.pixelSortDirection);
    s.pixelSortColor = in.colour(p.pixelSortColor);
    s.pixelSortColorMix = in.real(p.pixelSortColorMix);
    s.pixelSortAmount = in.real(p.pixelSortAmount);
    s.pixelSortLength = in.integer(p.pixelSortLength);
    s.pixelSortThreshold = in.real(p.pixelSortThreshold);
    s.pixelSortRandomize = in.flag(p.pixelSortRandomize);
    s.pixelSortRandomAmount = in.real(p.pixelSortRandomAmount);
    s.pixelSortBlur = in.real(p.pixelSortBlur);
    s.pixelSortGlow = in.real(p.pixelSortGlow);
    s.seed = in.integer(p.seed);

    s.frameNumber = roundHalfAway(time);
    return s;
}
