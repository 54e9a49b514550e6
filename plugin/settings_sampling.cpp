#include "plugin/settings_sampling.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <variant>

#include "catalogue/param_catalogue.h"
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

// One row's value into its field, by the row's rule. Rows without a field,
// and fields with their own rule, are left to sampleSettings.
void sampleRow(const ParamSpec& p, const Sampler& in, Settings& s) {
    const char* n = p.name.c_str();
    std::visit(
        [&](auto member) {
            using Member = decltype(member);
            if constexpr (std::is_same_v<Member, float Settings::*>) {
                switch (p.sampling) {
                    case Sampling::HudSize: s.*member = in.size(n); break;
                    case Sampling::RenderLength: s.*member = in.length(n); break;
                    default: s.*member = in.real(n); break;
                }
            } else if constexpr (std::is_same_v<Member, int32_t Settings::*>) {
                switch (p.sampling) {
                    case Sampling::HudRounded: s.*member = in.offset(n); break;
                    case Sampling::HudTextSize: s.*member = in.textSize(n); break;
                    case Sampling::RenderCount: s.*member = in.pixels(n); break;
                    case Sampling::RenderArea: s.*member = in.area(n); break;
                    default: s.*member = in.integer(n); break;
                }
            } else if constexpr (std::is_same_v<Member, bool Settings::*>) {
                s.*member = in.flag(n);
            } else if constexpr (std::is_same_v<Member, Pixel Settings::*>) {
                s.*member = in.colour(n);
            } else if constexpr (!std::is_same_v<Member, std::monostate>) {
                // The host's index as it comes: code takes an unknown one as its default case.
                s.*member = static_cast<std::remove_reference_t<decltype(s.*member)>>(in.index(n));
            }
        },
        p.field);
}

bool leavesSource(const ParamSpec& p, const ParamReader& reader) {
    switch (p.passthrough) {
        case Passthrough::Ignored: return true;
        case Passthrough::WhenOff: return !reader.getBool(p.name);
        case Passthrough::AtMostZero: return reader.getDouble(p.name) <= 0.0;
        case Passthrough::AtZero: return reader.getDouble(p.name) == 0.0;
        case Passthrough::FirstOption: return reader.getChoice(p.name) == 0;
        case Passthrough::AtLeastOne: return reader.getDouble(p.name) >= 1.0;
    }
    return false;
}

}  // namespace

bool leavesSourceUnchanged(const ParamReader& reader) {
    for (const ParamSpec& p : paramTable()) {
        if (p.passthrough == Passthrough::Ignored) continue;
        if (!p.passthroughGate.empty() && !reader.getBool(p.passthroughGate)) continue;
        if (!leavesSource(p, reader)) return false;
    }
    return true;
}

Settings sampleSettings(const ParamReader& reader, double time, double renderScale) {
    Settings s;
    const Sampler in{reader, hudFactor(reader.getDouble("hudScale")), usableScale(renderScale)};
    for (const ParamSpec& p : paramTable()) {
        if (p.sampling != Sampling::None && p.sampling != Sampling::Own) sampleRow(p, in, s);
    }

    // The fields with rules of their own.
    const bool preview = in.flag("fastPreview");
    s.renderEngine = in.index("renderEngine") > 0 ? RenderEngine::Gpu : RenderEngine::Processor;
    s.hudScale = in.k;
    s.labelTextMode = static_cast<LabelText>(
        std::clamp(in.index("labelTextMode"), 0, static_cast<int32_t>(LabelText::FullTracking)));

    // Every earlier frame is fetched and converted at each render, so the
    // count is held to the control's own range whatever a preset file says.
    s.temporalFrames = in.flag("useTemporalTracking")
                           ? clampTemporalFrames(in.integer("temporalFrames"))
                           : 0;
    s.detectionScale = detectionFactor(std::clamp(in.index("detectionScale"), 0, 3));
    if (preview) {
        s.detectionScale = std::max(s.detectionScale, 2);
        s.temporalFrames = 0;
        s.maxObjects = std::min(std::max(in.integer("previewObjectLimit"), 1), s.maxObjects);
        s.maxConnectionEdges = 256;
        s.drawTrails = false;
    } else {
        s.maxConnectionEdges = 4096;
    }
    // The reduction is counted in pixels of the image given: a smaller image
    // needs less of it to detect at the same grain.
    s.detectionScale = Sampler::scaledCount(s.detectionScale, in.scale);

    s.frameNumber = roundHalfAway(time);
    return s;
}

}  // namespace ormel
