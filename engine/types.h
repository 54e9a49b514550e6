// Value types shared by the engine, the overlay, the treatments and the plug-in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/choices.h"

namespace ormel {

// Straight (not premultiplied) colour; default is opaque black.
struct Pixel {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 1.0f;
};

// Position or displacement in pixels; y counts rows in storage order.
struct Vec2 {
    float x = 0.0f;
    float y = 0.0f;
};

// Row-major float RGBA picture, top-down: row 0 is the top of the picture as a
// viewer sees it, so whatever the engine calls the top is the top on screen.
// Sizes below 1 mean an empty image with no pixels.
struct Image {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<Pixel> pixels;

    Image() = default;
    Image(int32_t w, int32_t h, Pixel fill = Pixel{})
        : width(w), height(h),
          pixels(w > 0 && h > 0 ? static_cast<size_t>(w) * static_cast<size_t>(h) : 0, fill) {}

    bool empty() const { return width < 1 || height < 1; }

    // Unchecked access: callers keep 0 <= x < width and 0 <= y < height.
    Pixel& at(int32_t x, int32_t y) {
        return pixels[static_cast<size_t>(x) + static_cast<size_t>(y) * static_cast<size_t>(width)];
    }
    const Pixel& at(int32_t x, int32_t y) const {
        return pixels[static_cast<size_t>(x) + static_cast<size_t>(y) * static_cast<size_t>(width)];
    }
};

// One 8-connected region of keyed pixels. The box is half-open: [minX, maxX) x [minY, maxY).
struct Blob {
    int32_t id = -1;
    int32_t area = 0;
    int32_t minX = 0;
    int32_t minY = 0;
    int32_t maxX = 0;
    int32_t maxY = 0;
    Vec2 center;      // mean of integer column/row indices, no +0.5
    Pixel color;      // mean source colour over the region
    float coverage = 0.0f;
};

// An earlier frame handed to the tracker.
struct FrameSample {
    int32_t frame = 0;  // time rounded half away from zero
    Image image;
};

// An object followed across frames; built only by the tracker.
struct Track {
    int32_t id = 0;
    Blob blob;                // latest match; blob.id == id
    std::vector<Vec2> trail;  // centres, oldest first, last is the current centre
    float speed = 0.0f;       // length of the last trail step
};

// Result of one frame.
struct TraceResult {
    std::vector<float> mask;  // empty, or one 0/1 entry per full-frame pixel
    std::vector<Blob> blobs;
    std::vector<Track> tracks;
    Image image;
};

// Every control of the effect at one time. Field names are the parameter names.
// Sizes marked px are full-resolution output pixels; most overlay sizes are
// already multiplied by hudScale when the record is filled from parameters.
struct Settings {
    Pixel targetColor = {1.0f, 0.0f, 0.0f, 1.0f};  // colour to key; alpha always 1
    float hueTolerance = 0.06f;  // hue half-width of the key, hue measured on 0..1
    float saturationTolerance = 0.45f;  // saturation half-width of the key
    float luminanceTolerance = 0.45f;  // luminance half-width of the key
    float softness = 0.2f;  // width of the soft fall-off beyond the tolerances
    bool invertSelection = false;  // key everything except the target colour
    int32_t blurRadius = 1;  // box-blur radius applied to the key before thresholding, px (the pipeline divides it by the reduction factor)
    int32_t erodeIterations = 0;  // erosion passes on the binary mask
    int32_t dilateIterations = 1;  // dilation passes on the binary mask
    int32_t minBlobArea = 12;  // smallest region kept, in px (the pipeline divides it by the square of the reduction factor)
    int32_t maxBlobArea = 500000;  // largest region kept, in px (divided likewise)
    int32_t maxObjects = 128;  // most regions kept per frame; in fast preview already lowered to the preview limit
    float trackingDistance = 90.0f;  // largest centre distance, px, at which a region can continue a track (the pipeline divides it by the reduction factor)
    int32_t temporalFrames = 0;  // number of earlier frames used for tracking and trails; 0 when temporal tracking is off or in fast preview
    int32_t detectionScale = 1;  // detection reduction factor: 1, 2, 4 or 8 (not the choice index)
    RenderEngine renderEngine = RenderEngine::Gpu;  // the GPU is tried for the pixel sort only
    OutputMode outputMode = OutputMode::OriginalAndOverlay;
    float sourceOpacity = 1.0f;  // opacity of the source picture under the overlay
    float hudScale = 2.0f;  // overall size factor of the overlay, already clamped to [0.1, 12]
    bool drawPoints = true;  // draw a point at each track
    PointShape pointShape = PointShape::Ring;
    float pointSize = 7.0f;  // point size, px × `hudScale`
    float pointStroke = 2.0f;  // outline width of points, px × `hudScale`
    float pointOpacity = 1.0f;  // opacity of points
    bool pointFill = false;  // fill the point shape
    bool randomPointSize = false;  // give each point a pseudo-random size
    float pointSizeMin = 4.0f;  // smallest random point size, px × `hudScale`
    float pointSizeMax = 22.0f;  // largest random point size, px × `hudScale`
    Pixel pointColor = {0.1f, 1.0f, 0.25f, 1.0f};  // colour of points; alpha 1
    bool magnifierEnable = false;  // magnifier point effect on
    float magnifierIntensity = 0.0f;  // strength of the magnifier
    float magnifierOpacity = 0.85f;  // opacity of the magnifier
    bool magnifierRandom = true;  // choose the magnified tracks pseudo-randomly
    int32_t magnifierMinTargets = 1;  // fewest tracks magnified
    int32_t magnifierMaxTargets = 512;  // most tracks magnified
    float magnifierFrequency = 1.0f;  // share of tracks magnified
    float magnifierRadiusScale = 1.0f;  // size factor of the magnified zone
    bool pointFlashEnable = false;  // flash point effect on
    float pointFlashIntensity = 0.0f;  // strength of the flash
    float pointFlashSpeed = 1.0f;  // flash rate
    float pointFlashGlow = 0.0f;  // inner glow of the flash
    bool pointFlashRandom = true;  // choose the flashing tracks pseudo-randomly
    int32_t pointFlashMinTargets = 1;  // fewest tracks flashing
    int32_t pointFlashMaxTargets = 2;  // most tracks flashing
    float pointFlashFrequency = 0.25f;  // share of tracks flashing
    bool pointInvertEnable = false;  // colour-inversion point effect on
    float pointInvertIntensity = 0.0f;  // strength of the inversion
    bool pointInvertRandom = true;  // choose the inverted tracks pseudo-randomly
    int32_t pointInvertMinTargets = 1;  // fewest tracks inverted
    int32_t pointInvertMaxTargets = 2;  // most tracks inverted
    float pointInvertFrequency = 0.25f;  // share of tracks inverted
    bool drawBoxes = true;  // draw a box round each track's region
    float boxStroke = 2.0f;  // box line width, px × `hudScale`
    Pixel boxColor = {1.0f, 0.12f, 0.08f, 1.0f};  // box colour; alpha 1
    bool drawBoxText = false;  // attach text to each box
    bool boxTextCoordinates = true;  // box text shows coordinates
    BoxCorner boxTextCorner = BoxCorner::TopRight;  // box corner the text is attached to
    int32_t boxTextScale = 2;  // box text size, rounded(parameter × `hudScale`), at least 1
    bool randomBoxTextSize = false;  // give each box text a pseudo-random size
    int32_t boxTextSizeMin = 1;  // smallest random box text size, scaled as `boxTextScale`, at least 1
    int32_t boxTextSizeMax = 3;  // largest random box text size, scaled as `boxTextScale`, at least 1
    int32_t boxTextOffset = 5;  // distance of the text from the box, rounded(parameter × `hudScale`)
    Pixel boxTextColor = {1.0f, 1.0f, 1.0f, 1.0f};  // box text colour; alpha 1
    bool drawLines = true;  // draw connection lines between tracks
    ConnectionMode connectionMode = ConnectionMode::Mst;  // which pairs are connected
    float lineWidth = 1.5f;  // line width, px × `hudScale`
    float lineOpacity = 0.75f;  // line opacity
    float maxConnectionDistance = 500.0f;  // longest connection, px (not scaled by `hudScale`)
    float lineJitter = 0.0f;  // random displacement of lines, px × `hudScale`
    float lineFlicker = 0.0f;  // random flicker of line opacity
    float dashLength = 0.0f;  // dash length, px × `hudScale`; 1 or less draws solid lines
    int32_t maxConnectionEdges = 2048;  // most connection lines drawn (4096 normally, 256 in fast preview, set when sampling the parameters); 0 or less means no limit
    LineCurve lineCurveMode = LineCurve::Arc;  // shape of lines
    float lineCurveAmount = 42.0f;  // curve strength, px × `hudScale`, may be negative
    LineMotif lineMotif = LineMotif::Arrow;  // motif repeated along lines
    float motifSpacing = 92.0f;  // distance between motifs, px × `hudScale`
    float motifSize = 9.0f;  // motif size, px × `hudScale`
    float motifOpacity = 0.85f;  // motif opacity
    Pixel lineColor = {0.85f, 0.9f, 1.0f, 1.0f};  // line colour; alpha 1
    bool drawTrails = true;  // draw trails of past centres; false in fast preview
    float trailWidth = 1.5f;  // trail width, px × `hudScale`
    float trailOpacity = 0.65f;  // trail opacity
    Pixel trailColor = {0.85f, 0.9f, 1.0f, 1.0f};  // trail colour; alpha 1
    bool drawLabels = true;  // draw a text label at each track
    LabelText labelTextMode = LabelText::IdAndCoordinates;  // what the label says; always one of the options
    bool labelCoordinates = true;  // label shows coordinates
    bool labelVelocity = false;  // label shows speed
    int32_t labelScale = 2;  // label text size, rounded(parameter × `hudScale`), at least 1
    int32_t labelOffsetX = 8;  // label offset along x, rounded(parameter × `hudScale`)
    int32_t labelOffsetY = -18;  // label offset along y, rounded(parameter × `hudScale`)
    Pixel labelColor = {1.0f, 1.0f, 1.0f, 1.0f};  // label colour; alpha 1
    float glowAmount = 0.35f;  // strength of the glow halos drawn round overlay strokes
    float scanline = 0.0f;  // CRT scan-line strength
    float noise = 0.0f;  // CRT noise strength
    float vignette = 0.0f;  // vignette strength
    float chromaticAberration = 0.0f;  // chromatic aberration offset
    float glitchAmount = 0.0f;  // glitch strength
    float vhsFlicker = 0.0f;  // VHS flicker strength
    float lensDistortion = 0.0f;  // lens distortion, may be negative
    float fisheye = 0.0f;  // fisheye strength
    float invertAmount = 0.0f;  // whole-frame colour inversion
    float radialBlur = 0.0f;  // radial blur of the overlay
    AsciiMode asciiMode = AsciiMode::Off;
    float asciiAmount = 0.0f;  // ASCII-art strength
    int32_t asciiCellSize = 8;  // ASCII cell size, px
    bool pixelSortEnable = false;  // pixel sort on
    SortScope pixelSortScope = SortScope::OverlayOnly;  // layer the pixel sort works on
    SortDirection pixelSortDirection = SortDirection::Mixed;
    Pixel pixelSortColor = {1.0f, 0.05f, 0.02f, 1.0f};  // tint of sorted streaks; alpha 1
    float pixelSortColorMix = 0.85f;  // strength of the tint
    float pixelSortAmount = 0.65f;  // strength of the pixel sort
    int32_t pixelSortLength = 72;  // streak length, px
    float pixelSortThreshold = 0.04f;  // sort threshold
    bool pixelSortRandomize = true;  // randomise streaks
    float pixelSortRandomAmount = 0.45f;  // amount of randomness
    float pixelSortBlur = 0.15f;  // blur of the sorted layer
    float pixelSortGlow = 0.6f;  // glow of the sorted layer
    int32_t seed = 1337;  // seed of the pseudo-random choices of the overlay and the treatments
    int32_t frameNumber = 0;  // the frame's time rounded to the nearest whole number, halves away from zero; the tracker uses it as the current frame's number, and the overlay and the treatments mix it with `seed` so that pseudo-random choices change from frame to frame

    Settings() = default;
};

}  // namespace ormel
