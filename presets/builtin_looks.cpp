#include "presets/builtin_looks.h"

namespace ormel {
namespace {

using Writes = std::vector<std::pair<std::string, PresetValue>>;

std::pair<std::string, PresetValue> rgb(const char* name, double r, double g, double b) {
    return {name, rgbValue(r, g, b)};
}
std::pair<std::string, PresetValue> real(const char* name, double v) { return {name, doubleValue(v)}; }
std::pair<std::string, PresetValue> whole(const char* name, int v) { return {name, integerValue(v)}; }
std::pair<std::string, PresetValue> option(const char* name, int index) { return {name, choiceValue(index)}; }
std::pair<std::string, PresetValue> on(const char* name) { return {name, boolValue(true)}; }
std::pair<std::string, PresetValue> off(const char* name) { return {name, boolValue(false)}; }

}  // namespace

std::vector<BuiltinLook> builtinLooks() {
    return {
        {"CLASSIC", {}},
        {"HUD Scanner Vert",
         Writes{rgb("targetColor", 0, 1, 0.18), rgb("pointColor", 0.05, 1, 0.32),
                rgb("lineColor", 0.55, 1, 0.7), rgb("boxColor", 0.25, 1, 0.42), off("drawBoxes"),
                real("lineCurveAmount", 64), real("glowAmount", 0.55), real("scanline", 0.1)}},
        {"CRT Surveillance",
         Writes{rgb("pointColor", 1, 0.1, 0.08), rgb("lineColor", 1, 0.48, 0.42),
                rgb("boxColor", 1, 0.1, 0.08), on("drawBoxText"), real("scanline", 0.38),
                real("noise", 0.055), real("vignette", 0.34), real("chromaticAberration", 2),
                real("glitchAmount", 0.08), real("vhsFlicker", 0.22)}},
        {"Pixel Sort Rouge",
         Writes{option("renderEngine", 1), rgb("pointColor", 1, 0.1, 0.04),
                rgb("lineColor", 1, 0.25, 0.16), rgb("boxColor", 1, 0.08, 0.04),
                on("pixelSortEnable"), rgb("pixelSortColor", 1, 0.02, 0),
                real("pixelSortAmount", 0.82), whole("pixelSortLength", 128),
                real("pixelSortRandomAmount", 0.72), real("pixelSortBlur", 0.24),
                real("pixelSortGlow", 1.15), real("glowAmount", 0.65)}},
        {"ASCII Revolution",
         Writes{rgb("pointColor", 0.82, 1, 0.92), rgb("lineColor", 0.72, 1, 0.9),
                rgb("boxColor", 0.8, 1, 0.95), option("asciiMode", 1), real("asciiAmount", 0.82),
                whole("asciiCellSize", 6), real("glowAmount", 0.5), real("scanline", 0.18),
                real("noise", 0.035)}},
        {"Constellation MST",
         Writes{rgb("targetColor", 1, 1, 1), rgb("pointColor", 0.92, 0.98, 1),
                rgb("lineColor", 0.65, 0.82, 1), off("drawBoxes"), off("drawLabels"),
                option("connectionMode", 3), option("lineCurveMode", 0), option("lineMotif", 3),
                real("motifSpacing", 58), real("pointSize", 4.5), real("glowAmount", 0.4)}},
        {"Tactical Red Boxes",
         Writes{option("pointShape", 0), real("pointSize", 4), rgb("pointColor", 0.2, 1, 0.22),
                on("drawBoxes"), on("drawBoxText"), option("boxTextCorner", 1),
                rgb("boxColor", 1, 0.08, 0.05), real("boxStroke", 2.5), off("drawLines"),
                off("drawLabels"), real("glowAmount", 0.25)}},
        {"Biotech Cyan",
         Writes{rgb("targetColor", 0, 0.95, 1), rgb("pointColor", 0, 0.95, 1),
                rgb("lineColor", 0.48, 1, 0.95), rgb("boxColor", 0, 0.75, 0.9),
                option("connectionMode", 4), option("lineCurveMode", 3),
                real("lineCurveAmount", 80), real("lineJitter", 2), option("lineMotif", 2),
                real("glowAmount", 0.58), real("radialBlur", 0.06)}},
        {"VHS Glitch Léger",
         Writes{rgb("pointColor", 1, 0.92, 0.72), rgb("lineColor", 0.7, 0.9, 1),
                rgb("boxColor", 1, 0.35, 0.22), real("scanline", 0.42), real("noise", 0.075),
                real("chromaticAberration", 3.5), real("glitchAmount", 0.12),
                real("vhsFlicker", 0.32), real("vignette", 0.22)}},
        {"Traînées Fantômes",
         Writes{off("fastPreview"), on("useTemporalTracking"), whole("temporalFrames", 18),
                on("drawTrails"), off("drawLines"), off("drawBoxes"), off("drawLabels"),
                rgb("pointColor", 0.85, 0.92, 1), rgb("trailColor", 0.6, 0.82, 1),
                real("trailWidth", 2.5), real("trailOpacity", 0.78), real("glowAmount", 0.48)}},
        {"Point Cloud Blanc",
         Writes{rgb("targetColor", 1, 1, 1), off("drawBoxes"), off("drawLines"), off("drawLabels"),
                option("pointShape", 0), on("pointFill"), on("randomPointSize"),
                real("pointSizeMin", 1.5), real("pointSizeMax", 18), rgb("pointColor", 1, 1, 1),
                real("glowAmount", 0.72), real("noise", 0.025)}},
    };
}

}  // namespace ormel
