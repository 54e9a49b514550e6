// The options of each choice control, in the order the host lists them: a
// field holds the option as the host's index, so any index a host sends stays
// the same value (code treats unknown ones as its default case).
#pragma once

#include <cstdint>

namespace ormel {

enum class RenderEngine : int32_t { Processor, Gpu };
enum class OutputMode : int32_t { OriginalAndOverlay, OverlayOnly, Matte };
enum class PointShape : int32_t { Dot, Ring, Square, Cross };
enum class BoxCorner : int32_t { TopLeft, TopRight, BottomLeft, BottomRight };
enum class ConnectionMode : int32_t { None, Star, Complete, Mst, Nearest };
enum class LineCurve : int32_t { Straight, Arc, Sine, Organic };
enum class LineMotif : int32_t { None, Arrow, Chevron, Dot, Dash };
enum class LabelText : int32_t {
    IdAndCoordinates,
    Coordinates,
    NormalisedCoordinates,
    IdAndSpeed,
    IdAndArea,
    Target,
    FullTracking,
};
enum class AsciiMode : int32_t { Off, Overlay, Replace };
enum class SortScope : int32_t { OverlayOnly, WholePicture };
enum class SortDirection : int32_t { Horizontal, Vertical, Mixed };

}  // namespace ormel
