// The texts written about each track: the box with its corner caption, and
// the label beside the track's centre.
#pragma once

#include <cstdint>
#include <string>

#include "engine/types.h"
#include "overlay/canvas.h"

namespace ormel {

// Caption text: "ID_<id>", then " X:<x> Y:<y>" when boxTextCoordinates.
std::string captionText(const Track& track, const Settings& settings);

// Caption text scale: pseudo-random between the ordered size bounds when
// randomBoxTextSize, otherwise boxTextScale (below 2 counts as 1).
int32_t captionScale(const Track& track, const Settings& settings);

// Top-left corner of the caption for settings.boxTextCorner, outside the box
// and kept inside an image of the given size.
struct TextPosition {
    int32_t x = 0;
    int32_t y = 0;
};
TextPosition captionPosition(const Track& track, const Settings& settings, int64_t textWidth,
                             int64_t textHeight, int32_t imageWidth, int32_t imageHeight);

// Label text for settings.labelTextMode; normalised coordinates are
// percentages of the image size.
std::string labelText(const Track& track, const Settings& settings, int32_t imageWidth,
                      int32_t imageHeight);

// The box outline along the outer edges of the region's pixels, then its
// caption when drawBoxText.
void drawBox(Canvas canvas, const Track& track, const Settings& settings);

// The label at the track's rounded centre plus the label offsets.
void drawLabel(Canvas canvas, const Track& track, const Settings& settings);

}  // namespace ormel
