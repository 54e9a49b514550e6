// Host-side image storage in any of the layouts real hosts use, and the
// conversions between it and packed float RGBA frames.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/ofx_host.h"

namespace ofxhost {

struct ImageBuffer {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;   // bounds
    BitDepth depth = BitDepth::Float;
    Components components = Components::RGBA;
    std::vector<uint8_t> storage;
    std::shared_ptr<const void> shared;    // pixels borrowed from elsewhere, kept alive here
    std::shared_ptr<FloatImage> frame;     // plain float RGBA output kept as a frame, handed back whole
    uint8_t* data = nullptr;               // pixel (x1, y1), the bottom-left
    long rowBytes = 0;                     // to the row above; negative when the top row is stored first

    int width() const { return x2 - x1; }
    int height() const { return y2 - y1; }
    int bytesPerPixel() const;
};

int channelCount(Components c);
int depthBytes(BitDepth d);
const char* depthName(BitDepth d);        // "OfxBitDepthFloat" ...
const char* componentsName(Components c); // "OfxImageComponentRGBA" ...

float halfToFloat(uint16_t h);
uint16_t floatToHalf(float f);

// Lays `frame` out as `layout` says: bounds start at the origin and are
// grown or shrunk by the extra size; the frame's top row is the buffer's top
// row (y2 - 1), and pixels outside the frame are zero. Every conversion here
// maps frame row fy to OpenFX row y2 - 1 - fy.
ImageBuffer makeSourceBuffer(const FloatImage& frame, const ImageLayout& layout);
// Whether frames in `layout` are lent as they are, without a copy.
bool isPlainFloat(const ImageLayout& layout);
// The OpenFX data pointer of a frame lent as it is (its bottom row).
uint8_t* bottomRowOf(const FloatImage& frame);
// A plain float RGBA buffer of width x height at the layout's origin, its rows
// running up from the bottom row of a top-down FloatImage; no pixels yet.
ImageBuffer plainFloatBuffer(int width, int height, const ImageLayout& layout);
// Points a plain float buffer at `frame`'s pixels and keeps the frame alive.
void lendFrame(ImageBuffer& buffer, std::shared_ptr<const FloatImage> frame);
// makeSourceBuffer, but a frame that already is float RGBA in the plain layout
// is handed over without a copy (plug-ins only read source images).
ImageBuffer shareSourceBuffer(std::shared_ptr<const FloatImage> frame, const ImageLayout& layout);
// An output buffer for a frame of width x height, every channel `layout.outputFill`.
// In the plain float RGBA layout the pixels are a FloatImage (`frame`).
ImageBuffer makeOutputBuffer(int width, int height, const ImageLayout& layout);
// The same, taking the memory of `spare` when it fits (it is left empty then).
ImageBuffer makeOutputBuffer(int width, int height, const ImageLayout& layout, FloatImage* spare);
// The whole of the buffer's bounds as float RGBA (missing channels: colour 0, alpha 1).
FloatImage readBuffer(const ImageBuffer& buffer);
// readBuffer for a buffer nobody else uses any more: an output kept as a frame
// is moved out instead of copied. `buffer` may be left without pixels.
FloatImage takeBuffer(std::shared_ptr<ImageBuffer> buffer);

}  // namespace ofxhost
