#include "overlay/boxes_labels.h"

#include <algorithm>

#include "overlay/bitmap_text.h"
#include "overlay/hash.h"
#include "overlay/raster.h"
#include "overlay/safe_int.h"

namespace ormel {
namespace {

constexpr float kBoxOpacity = 0.85f;
constexpr float kTextOpacity = 0.95f;

// Position as a percentage of the image extent, 0..100; 0 for an empty extent.
int32_t percentOf(float v, int32_t extent) {
    if (extent <= 0) return 0;
    const int32_t p = roundToInt32(v * 100.0f / static_cast<float>(extent));
    return std::min(std::max(p, 0), 100);
}

std::string num(int32_t v) { return std::to_string(v); }

}  // namespace

std::string captionText(const Track& track, const Settings& settings) {
    std::string text = "ID_" + num(track.blob.id);
    if (settings.boxTextCoordinates) {
        text += " X:" + num(roundToInt32(track.blob.center.x));
        text += " Y:" + num(roundToInt32(track.blob.center.y));
    }
    return text;
}

int32_t captionScale(const Track& track, const Settings& settings) {
    if (!settings.randomBoxTextSize) return settings.boxTextScale >= 2 ? settings.boxTextScale : 1;
    const int32_t lo = std::max(std::min(settings.boxTextSizeMin, settings.boxTextSizeMax), 1);
    const int32_t hi = std::max({settings.boxTextSizeMin, settings.boxTextSizeMax, lo});
    const float span = static_cast<float>(int64_t{hi} - int64_t{lo} + 1);
    const float pick =
        std::floor(span * hash01(track.id, track.blob.area, 0, seedPlus(settings.seed, 557)));
    // Float rounding of a huge span may reach hi + 1; the clamp below catches it.
    const int64_t scale = int64_t{lo} + static_cast<int64_t>(pick);
    return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(scale, lo), hi));
}

TextPosition captionPosition(const Track& track, const Settings& settings, int64_t textWidth,
                             int64_t textHeight, int32_t imageWidth, int32_t imageHeight) {
    const Blob& blob = track.blob;
    const int64_t offset = std::max(settings.boxTextOffset, 0);
    const int64_t left = int64_t{blob.minX} - offset - textWidth;
    const int64_t right = int64_t{blob.maxX} + offset;
    const int64_t top = blob.minY;
    const int64_t bottom = int64_t{blob.maxY} - textHeight;
    int64_t x = right, y = top;
    switch (settings.boxTextCorner) {
        case BoxCorner::TopLeft: x = left; y = top; break;
        case BoxCorner::BottomLeft: x = left; y = bottom; break;
        case BoxCorner::BottomRight: x = right; y = bottom; break;
        default: break;
    }
    x = std::max<int64_t>(std::min<int64_t>(x, std::max<int64_t>(imageWidth - textWidth, 0)), 0);
    y = std::max<int64_t>(std::min<int64_t>(y, std::max<int64_t>(imageHeight - textHeight, 0)), 0);
    return {saturateToInt32(x), saturateToInt32(y)};
}

std::string labelText(const Track& track, const Settings& settings, int32_t imageWidth,
                      int32_t imageHeight) {
    const Blob& blob = track.blob;
    const std::string id = num(blob.id);
    const std::string ix = num(roundToInt32(blob.center.x));
    const std::string iy = num(roundToInt32(blob.center.y));
    const std::string v = num(roundToInt32(track.speed));
    switch (settings.labelTextMode) {
        case LabelText::Coordinates:
            return "X:" + ix + " Y:" + iy;
        case LabelText::NormalisedCoordinates:
            return "N X:" + num(percentOf(blob.center.x, imageWidth)) +
                   " Y:" + num(percentOf(blob.center.y, imageHeight));
        case LabelText::IdAndSpeed:
            return "ID_" + id + " V:" + v;
        case LabelText::IdAndArea:
            return "ID_" + id + " A:" + num(blob.area);
        case LabelText::Target:
            return "TARGET_" + id;
        case LabelText::FullTracking:
            return "TRACK_" + id + " X:" + ix + " Y:" + iy + " V:" + v;
        default: {
            std::string text = "ID_" + id;
            if (settings.labelCoordinates) text += " X:" + ix + " Y:" + iy;
            if (settings.labelVelocity) text += " V:" + v;
            return text;
        }
    }
}

void drawBox(Canvas canvas, const Track& track, const Settings& settings) {
    const Image& out = canvas.image;
    const Blob& blob = track.blob;
    drawRect(canvas, static_cast<float>(blob.minX), static_cast<float>(blob.minY),
             static_cast<float>(blob.maxX), static_cast<float>(blob.maxY), settings.boxStroke,
             settings.boxColor, kBoxOpacity, settings);
    if (!settings.drawBoxText || out.empty()) return;
    const std::string text = captionText(track, settings);
    const int32_t scale = captionScale(track, settings);
    const int64_t width = std::max<int64_t>(textWidth(text, scale), 1);
    const int64_t height = textHeight(scale);
    const TextPosition at = captionPosition(track, settings, width, height, out.width, out.height);
    drawText(canvas, at.x, at.y, text, scale, settings.boxTextColor, kTextOpacity);
}

void drawLabel(Canvas canvas, const Track& track, const Settings& settings) {
    const Image& out = canvas.image;
    const int64_t x = int64_t{roundToInt32(track.blob.center.x)} + settings.labelOffsetX;
    const int64_t y = int64_t{roundToInt32(track.blob.center.y)} + settings.labelOffsetY;
    // Rows outside the canvas: the text need not even be written out.
    const int64_t top = saturateToInt32(y);
    if (top + textHeight(settings.labelScale) <= canvas.rowBegin || top >= canvas.rowEnd) return;
    const std::string text = labelText(track, settings, out.width, out.height);
    drawText(canvas, saturateToInt32(x), saturateToInt32(y), text, settings.labelScale,
             settings.labelColor, kTextOpacity);
}

}  // namespace ormel
