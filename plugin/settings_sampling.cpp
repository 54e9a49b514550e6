#include "plugin/settings_sampling.h"

#include <algorithm>
#include <cmath>

#include "engine/int_conversion.h"
#include "plugin/temporal_limits.h"

namespace ormel {
namespace {

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
int32_t roundHalfAway(double v) { return saturateToInt32(std::round(v)); }

struct Sampler {
    const ormel::ParamReader& reader;
    float k;
    double scale;   // the host's render scale

    float scaleF() const { return static_cast<float>(scale); }

    float real(const char* n) const { return static_cast<float>(reader.getDouble(n)); }
    int32_t integer(const char* n) const { return reader.getInt(n); }
    int32_t index(const char* n) const { return reader.getChoice(n); }
    bool flag(const char* n) const { return reader.getBool(n); }
    Pixel colour(const char* n) const {
        const std::array<double, 3> c = reader.getRgb(n);
        return Pixel{static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2]), 1.0f};
    }
    // Pixel sizes grow with the HUD factor, multiplied in float.
    float size(const char* n) const { return real(n) * k * scaleF(); }
    // Text sizes and offsets: the integer times k, rounded in double; the
    // bitmap font draws whole sizes only, so a scaled text takes the nearest.
    int32_t offset(const char* n) const {
        return roundHalfAway(static_cast<double>(integer(n)) * static_cast<double>(k) * scale);
    }
    // Lengths in pixels outside the HUD factor.
    float length(const char* n) const { return real(n) * scaleF(); }
    // Counts of pixels (radii, passes, cells): scaled and rounded, but one
    // that was on stays at least 1.
    int32_t pixels(const char* n) const { return scaledCount(integer(n), scale); }
    // Areas in pixels go with the square of the scale.
    int32_t area(const char* n) const { return scaledCount(integer(n), scale * scale); }
    static int32_t scaledCount(int32_t v, double factor) {
        if (v <= 0 || factor == 1.0) return v;
        return std::max(roundHalfAway(static_cast<double>(v) * factor), 1);
    }
    int32_t textSize(const char* n) const { return std::max(offset(n), 1); }
};

int32_t detectionFactor(int32_t index) {
    static const int32_t kFactors[4] = {1, 2, 4, 8};
    return kFactors[std::clamp(index, 0, 3)];
}

// A render scale the engine can use: NaN, zero, negative or absurd scales
// count as 1.
double usableScale(double scale) { return scale > 0.0 && scale <= 64.0 ? scale : 1.0; }

}  // namespace

Settings sampleSettings(const ParamReader& reader, double time, double renderScale) {
    Settings s;
    const Sampler in{reader, hudFactor(reader.getDouble("hudScale")), usableScale(renderScale)};

    const bool preview = in.flag("fastPreview");
    const int32_t scaleIndex = std::clamp(in.index("detectionScale"), 0, 3);
    s.renderEngine = in.index("renderEngine") > 0 ? 1 : 0;

    s.targetColor = in.colour("targetColor");
    s.hueTolerance = in.real("hueTolerance");
    s.saturationTolerance = in.real("saturationTolerance");
    s.luminanceTolerance = in.real("luminanceTolerance");
    s.softness = in.real("softness");
    s.invertSelection = in.flag("invertSelection");
    s.blurRadius = in.pixels("blurRadius");
    s.erodeIterations = in.pixels("erodeIterations");
    s.dilateIterations = in.pixels("dilateIterations");
    s.minBlobArea = in.area("minBlobArea");
    s.maxBlobArea = in.area("maxBlobArea");
    s.maxObjects = in.integer("maxObjects");
    s.trackingDistance = in.length("trackingDistance");

    // Every earlier frame is fetched and converted at each render, so the
    // count is held to the control's own range whatever a preset file says.
    s.temporalFrames = in.flag("useTemporalTracking")
                           ? clampTemporalFrames(in.integer("temporalFrames"))
                           : 0;
    s.detectionScale = detectionFactor(scaleIndex);
    if (preview) {
        s.detectionScale = std::max(s.detectionScale, 2);
        s.temporalFrames = 0;
        s.maxObjects = std::min(std::max(in.integer("previewObjectLimit"), 1), s.maxObjects);
        s.maxConnectionEdges = 256;
    } else {
        s.maxConnectionEdges = 4096;
    }
    // The reduction is counted in pixels of the image given: a smaller image
    // needs less of it to detect at the same grain.
    s.detectionScale = Sampler::scaledCount(s.detectionScale, in.scale);

    s.outputMode = in.index("outputMode");
    s.sourceOpacity = in.real("sourceOpacity");
    s.hudScale = in.k;

    s.drawPoints = in.flag("drawPoints");
    s.pointShape = in.index("pointShape");
    s.pointColor = in.colour("pointColor");
    s.pointSize = in.size("pointSize");
    s.pointStroke = in.size("pointStroke");
    s.pointOpacity = in.real("pointOpacity");
    s.pointFill = in.flag("pointFill");
    s.randomPointSize = in.flag("randomPointSize");
    s.pointSizeMin = in.size("pointSizeMin");
    s.pointSizeMax = in.size("pointSizeMax");

    s.magnifierEnable = in.flag("magnifierEnable");
    s.magnifierIntensity = in.real("magnifierIntensity");
    s.magnifierOpacity = in.real("magnifierOpacity");
    s.magnifierRandom = in.flag("magnifierRandom");
    s.magnifierMinTargets = in.integer("magnifierMinTargets");
    s.magnifierMaxTargets = in.integer("magnifierMaxTargets");
    s.magnifierFrequency = in.real("magnifierFrequency");
    s.magnifierRadiusScale = in.real("magnifierRadiusScale");
    s.pointFlashEnable = in.flag("pointFlashEnable");
    s.pointFlashIntensity = in.real("pointFlashIntensity");
    s.pointFlashSpeed = in.real("pointFlashSpeed");
    s.pointFlashGlow = in.real("pointFlashGlow");
    s.pointFlashRandom = in.flag("pointFlashRandom");
    s.pointFlashMinTargets = in.integer("pointFlashMinTargets");
    s.pointFlashMaxTargets = in.integer("pointFlashMaxTargets");
    s.pointFlashFrequency = in.real("pointFlashFrequency");
    s.pointInvertEnable = in.flag("pointInvertEnable");
    s.pointInvertIntensity = in.real("pointInvertIntensity");
    s.pointInvertRandom = in.flag("pointInvertRandom");
    s.pointInvertMinTargets = in.integer("pointInvertMinTargets");
    s.pointInvertMaxTargets = in.integer("pointInvertMaxTargets");
    s.pointInvertFrequency = in.real("pointInvertFrequency");

    s.drawBoxes = in.flag("drawBoxes");
    s.boxColor = in.colour("boxColor");
    s.boxStroke = in.size("boxStroke");
    s.drawBoxText = in.flag("drawBoxText");
    s.boxTextCoordinates = in.flag("boxTextCoordinates");
    s.boxTextCorner = in.index("boxTextCorner");
    s.boxTextScale = in.textSize("boxTextScale");
    s.randomBoxTextSize = in.flag("randomBoxTextSize");
    s.boxTextSizeMin = in.textSize("boxTextSizeMin");
    s.boxTextSizeMax = in.textSize("boxTextSizeMax");
    s.boxTextOffset = in.offset("boxTextOffset");
    s.boxTextColor = in.colour("boxTextColor");

    s.drawLines = in.flag("drawLines");
    s.connectionMode = in.index("connectionMode");
    s.lineColor = in.colour("lineColor");
    s.lineWidth = in.size("lineWidth");
    s.lineOpacity = in.real("lineOpacity");
    s.maxConnectionDistance = in.length("maxConnectionDistance");
    s.lineJitter = in.size("lineJitter");
    s.lineFlicker = in.real("lineFlicker");
    s.dashLength = in.size("dashLength");
    s.lineCurveMode = in.index("lineCurveMode");
    s.lineCurveAmount = in.size("lineCurveAmount");
    s.lineMotif = in.index("lineMotif");
    s.motifSpacing = in.size("motifSpacing");
    s.motifSize = in.size("motifSize");
    s.motifOpacity = in.real("motifOpacity");

    s.drawTrails = preview ? false : in.flag("drawTrails");
    s.trailColor = in.colour("trailColor");
    s.trailWidth = in.size("trailWidth");
    s.trailOpacity = in.real("trailOpacity");

    s.drawLabels = in.flag("drawLabels");
    s.labelTextMode = std::clamp(in.index("labelTextMode"), 0, 6);
    s.labelCoordinates = in.flag("labelCoordinates");
    s.labelVelocity = in.flag("labelVelocity");
    s.labelScale = in.textSize("labelScale");
    s.labelOffsetX = in.offset("labelOffsetX");
    s.labelOffsetY = in.offset("labelOffsetY");
    s.labelColor = in.colour("labelColor");

    s.glowAmount = in.real("glowAmount");
    s.scanline = in.real("scanline");
    s.noise = in.real("noise");
    s.vignette = in.real("vignette");
    s.chromaticAberration = in.length("chromaticAberration");
    s.glitchAmount = in.real("glitchAmount");
    s.vhsFlicker = in.real("vhsFlicker");
    s.lensDistortion = in.real("lensDistortion");
    s.fisheye = in.real("fisheye");
    s.invertAmount = in.real("invertAmount");
    s.radialBlur = in.real("radialBlur");
    s.asciiMode = in.index("asciiMode");
    s.asciiAmount = in.real("asciiAmount");
    s.asciiCellSize = in.pixels("asciiCellSize");

    s.pixelSortEnable = in.flag("pixelSortEnable");
    s.pixelSortScope = in.index("pixelSortScope");
    s.pixelSortDirection = in.index("pixelSortDirection");
    s.pixelSortColor = in.colour("pixelSortColor");
    s.pixelSortColorMix = in.real("pixelSortColorMix");
    s.pixelSortAmount = in.real("pixelSortAmount");
    s.pixelSortLength = in.pixels("pixelSortLength");
    s.pixelSortThreshold = in.real("pixelSortThreshold");
    s.pixelSortRandomize = in.flag("pixelSortRandomize");
    s.pixelSortRandomAmount = in.real("pixelSortRandomAmount");
    s.pixelSortBlur = in.real("pixelSortBlur");
    s.pixelSortGlow = in.real("pixelSortGlow");
    s.seed = in.integer("seed");

    s.frameNumber = roundHalfAway(time);
    return s;
}

}  // namespace ormel
