#include "cli/track_paths.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "overlay/bitmap_text.h"
#include "overlay/raster.h"

namespace varnok {
namespace {

struct PathPoint {
    int frame;
    ormel::Vec2 at;
    bool seen;
};

// Dimmed, so that paths of any colour stand out over bright footage.
constexpr float kUnderneath = 0.55f;

}  // namespace

ormel::Pixel trackColour(int number) {
    const double hue = std::fmod(0.02 + 0.6180339887 * (number - 1), 1.0) * 6.0;
    const int sector = static_cast<int>(hue);
    const float f = static_cast<float>(hue - sector);
    const float v = 1.0f, s = 0.7f;
    const float p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    switch (sector % 6) {
        case 0: return {v, t, p, 1};
        case 1: return {q, v, p, 1};
        case 2: return {p, v, t, 1};
        case 3: return {p, q, v, 1};
        case 4: return {t, p, v, 1};
        default: return {v, p, q, 1};
    }
}

ormel::Image drawTrackPaths(const ormel::Image& frame, const TrackExport& data) {
    ormel::Image picture = frame;
    for (ormel::Pixel& px : picture.pixels) px = {px.r * kUnderneath, px.g * kUnderneath, px.b * kUnderneath, 1.0f};
    if (picture.empty()) return picture;

    std::map<int, std::vector<PathPoint>> paths;   // by number, points in frame order
    for (const TrackedFrame& f : data.frames)
        for (const ormel::ObjectPlace& p : f.places)
            if (data.states.hold(p.state))
                paths[p.track].push_back({f.frame, p.at, p.state == ormel::TrackState::Seen});

    // Sizes follow the picture, so a 1080p frame reads like a small one.
    const float unit = std::max(1.0f, static_cast<float>(std::min(picture.width, picture.height)) / 360.0f);
    const float width = 1.5f * unit, dash = 4.0f * unit;
    const int32_t textScale = std::max(2, static_cast<int32_t>(std::lround(unit * 2.0f)));
    const ormel::Pixel shadow{0, 0, 0, 1};
    for (const auto& [number, points] : paths) {
        const ormel::Pixel colour = trackColour(number);
        for (size_t k = 1; k < points.size(); ++k) {
            const bool seenBetween =
                points[k].frame - points[k - 1].frame == 1 && points[k].seen && points[k - 1].seen;
            ormel::drawLine(picture, points[k - 1].at, points[k].at, width, colour, 1.0f, seenBetween ? 0.0f : dash,
                            0.0f);
        }
        ormel::drawDisk(picture, points.front().at, 2.5f * unit, colour, 1.0f);
        ormel::drawDisk(picture, points.back().at, 1.5f * unit, colour, 1.0f);
    }
    // Numbers last, so no path crosses one; each on a shadow one pixel down and right.
    for (const auto& [number, points] : paths) {
        const std::string text = std::to_string(number);
        // Up and right of the start, kept inside the picture (below it at the top edge).
        const int32_t w = static_cast<int32_t>(ormel::textWidth(text, textScale));
        const int32_t h = static_cast<int32_t>(ormel::textHeight(textScale));
        const ormel::Vec2 at = points.front().at;
        int32_t x = static_cast<int32_t>(std::lround(at.x + 4.0f * unit));
        int32_t y = static_cast<int32_t>(std::lround(at.y - 4.0f * unit)) - h;
        if (y < 0) y = static_cast<int32_t>(std::lround(at.y + 4.0f * unit));
        x = std::max(0, std::min(x, picture.width - w));
        y = std::max(0, std::min(y, picture.height - h));
        const int32_t off = std::max(1, textScale / 2);
        ormel::drawText(picture, x + off, y + off, text, textScale, shadow, 1.0f);
        ormel::drawText(picture, x, y, text, textScale, trackColour(number), 1.0f);
    }
    return picture;
}

}  // namespace varnok
