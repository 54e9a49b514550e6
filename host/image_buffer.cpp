#include "host/image_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "host/worker_pool.h"

namespace ofxhost {

int channelCount(Components c) {
    switch (c) {
        case Components::RGBA: return 4;
        case Components::RGB: return 3;
        case Components::Alpha: return 1;
    }
    return 4;
}

int depthBytes(BitDepth d) {
    switch (d) {
        case BitDepth::Byte: return 1;
        case BitDepth::Short: return 2;
        case BitDepth::Half: return 2;
        case BitDepth::Float: return 4;
    }
    return 4;
}

const char* depthName(BitDepth d) {
    switch (d) {
        case BitDepth::Byte: return "OfxBitDepthByte";
        case BitDepth::Short: return "OfxBitDepthShort";
        case BitDepth::Half: return "OfxBitDepthHalf";
        case BitDepth::Float: return "OfxBitDepthFloat";
    }
    return "OfxBitDepthNone";
}

const char* componentsName(Components c) {
    switch (c) {
        case Components::RGBA: return "OfxImageComponentRGBA";
        case Components::RGB: return "OfxImageComponentRGB";
        case Components::Alpha: return "OfxImageComponentAlpha";
    }
    return "OfxImageComponentNone";
}

int ImageBuffer::bytesPerPixel() const { return channelCount(components) * depthBytes(depth); }

float halfToFloat(uint16_t h) {
    const uint32_t sign = (h >> 15) & 1u;
    const uint32_t exp = (h >> 10) & 0x1fu;
    const uint32_t mant = h & 0x3ffu;
    float v;
    if (exp == 0) {
        v = std::ldexp(static_cast<float>(mant), -24);
    } else if (exp == 31) {
        v = mant ? NAN : INFINITY;
    } else {
        v = std::ldexp(static_cast<float>(mant | 0x400u), static_cast<int>(exp) - 25);
    }
    return sign ? -v : v;
}

uint16_t floatToHalf(float f) {
    // Round to nearest, ties to even, on the bits: no library calls per sample.
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    const uint16_t sign = static_cast<uint16_t>((bits >> 16) & 0x8000u);
    const uint32_t a = bits & 0x7fffffffu;
    if (a > 0x7f800000u) return static_cast<uint16_t>(sign | 0x7e00u);   // NaN
    if (a >= 0x477ff000u) return static_cast<uint16_t>(sign | 0x7c00u);  // 65520 and up round to infinity
    if (a >= 0x38800000u) {                                               // normal half
        const uint32_t r = a + 0xfffu + ((a >> 13) & 1u);
        return static_cast<uint16_t>(sign | ((r - 0x38000000u) >> 13));
    }
    if (a < 0x33000000u) return sign;   // below 2^-25: zero
    // Subnormal half: units of 2^-24.
    const uint32_t shift = 126u - (a >> 23);   // 14 to 24
    const uint32_t mant = (a & 0x7fffffu) | 0x800000u;
    uint32_t q = mant >> shift;
    const uint32_t rest = mant & ((1u << shift) - 1u);
    const uint32_t half = 1u << (shift - 1u);
    if (rest > half || (rest == half && (q & 1u))) ++q;
    return static_cast<uint16_t>(sign | q);
}

namespace {

float clampUnit(float v) {
    if (!(v > 0.0f)) return 0.0f;  // NaN too
    return v < 1.0f ? v : 1.0f;
}

void storeChannel(uint8_t* p, BitDepth d, float v) {
    switch (d) {
        case BitDepth::Byte:
            *p = static_cast<uint8_t>(std::lround(clampUnit(v) * 255.0f));
            break;
        case BitDepth::Short: {
            const uint16_t s = static_cast<uint16_t>(std::lround(clampUnit(v) * 65535.0f));
            std::memcpy(p, &s, 2);
            break;
        }
        case BitDepth::Half: {
            const uint16_t h = floatToHalf(v);
            std::memcpy(p, &h, 2);
            break;
        }
        case BitDepth::Float:
            std::memcpy(p, &v, 4);
            break;
    }
}

float loadChannel(const uint8_t* p, BitDepth d) {
    switch (d) {
        case BitDepth::Byte: return *p / 255.0f;
        case BitDepth::Short: {
            uint16_t s;
            std::memcpy(&s, p, 2);
            return s / 65535.0f;
        }
        case BitDepth::Half: {
            uint16_t h;
            std::memcpy(&h, p, 2);
            return halfToFloat(h);
        }
        case BitDepth::Float: {
            float v;
            std::memcpy(&v, p, 4);
            return v;
        }
    }
    return 0.0f;
}

}  // namespace

// Float RGBA stored exactly as a FloatImage: top row first, no padding.
bool isPlainFloat(const ImageLayout& l) {
    return l.depth == BitDepth::Float && l.components == Components::RGBA && l.rowPadding <= 0 &&
           l.rowOrder == RowOrder::TopFirst && l.extraWidth == 0 && l.extraHeight == 0;
}

// The OpenFX data pointer of a FloatImage lent as is: its last row in memory
// is the picture's bottom row, and each row up is one stride back.
uint8_t* bottomRowOf(const FloatImage& f) {
    return reinterpret_cast<uint8_t*>(const_cast<float*>(f.rgba.data())) +
           static_cast<size_t>(f.height - 1) * static_cast<size_t>(f.width) * 16;
}

namespace {

// Row `fy` of a top-down frame is OpenFX row y2 - 1 - fy of the buffer.
uint8_t* rowFromTop(const ImageBuffer& b, int fy) {
    return b.data + static_cast<long>(b.height() - 1 - fy) * b.rowBytes;
}

ImageBuffer allocate(int width, int height, const ImageLayout& layout) {
    ImageBuffer b;
    b.depth = layout.depth;
    b.components = layout.components;
    // Sizes come from callers and files: keep them sane before any multiplication.
    const long w = std::clamp<long>(static_cast<long>(width) + layout.extraWidth, 0, 1 << 16);
    const long h = std::clamp<long>(static_cast<long>(height) + layout.extraHeight, 0, 1 << 16);
    b.x1 = layout.originX;
    b.y1 = layout.originY;
    b.x2 = b.x1 + static_cast<int>(w);
    b.y2 = b.y1 + static_cast<int>(h);
    if (w == 0 || h == 0) return b;
    const long stride = w * b.bytesPerPixel() + std::max(0, layout.rowPadding);
    b.storage.assign(static_cast<size_t>(stride * h), 0);
    if (layout.rowOrder == RowOrder::TopFirst) {
        b.data = b.storage.data() + (h - 1) * stride;
        b.rowBytes = -stride;
    } else {
        b.data = b.storage.data();
        b.rowBytes = stride;
    }
    return b;
}

}  // namespace

ImageBuffer makeSourceBuffer(const FloatImage& frame, const ImageLayout& layout) {
    ImageBuffer b = allocate(frame.width, frame.height, layout);
    const int n = channelCount(b.components);
    const int cb = depthBytes(b.depth);
    const int rows = std::min(b.height(), frame.height);
    const int cols = std::min(b.width(), frame.width);
    for (int y = 0; y < rows; ++y) {
        uint8_t* row = rowFromTop(b, y);
        for (int x = 0; x < cols; ++x) {
            const float* px = frame.pixel(x, y);
            uint8_t* dst = row + static_cast<long>(x) * n * cb;
            if (b.components == Components::Alpha) {
                storeChannel(dst, b.depth, px[3]);
            } else {
                for (int c = 0; c < n; ++c) storeChannel(dst + c * cb, b.depth, px[c]);
            }
        }
    }
    return b;
}

ImageBuffer plainFloatBuffer(int width, int height, const ImageLayout& layout) {
    ImageBuffer b;
    b.x1 = layout.originX;
    b.y1 = layout.originY;
    b.x2 = b.x1 + width;
    b.y2 = b.y1 + height;
    b.rowBytes = -static_cast<long>(width) * 16;
    return b;
}

void lendFrame(ImageBuffer& buffer, std::shared_ptr<const FloatImage> frame) {
    buffer.data = bottomRowOf(*frame);
    buffer.shared = std::move(frame);
}

ImageBuffer shareSourceBuffer(std::shared_ptr<const FloatImage> frame, const ImageLayout& layout) {
    if (!isPlainFloat(layout) || !frame || frame->empty()) return makeSourceBuffer(frame ? *frame : FloatImage{}, layout);
    ImageBuffer b = plainFloatBuffer(frame->width, frame->height, layout);
    lendFrame(b, std::move(frame));
    return b;
}

namespace {

// The marker fill of a reused output, shared out over the host's threads so
// a frame-sized pass does not hold up the ones the plug-in renders on.
void fillOnWorkers(std::vector<float>& values, float fill) {
    const size_t chunk = size_t{1} << 18;
    const size_t jobs = (values.size() + chunk - 1) / chunk;
    runOnWorkers(static_cast<unsigned>(jobs), [&](unsigned j) {
        const size_t begin = static_cast<size_t>(j) * chunk;
        const size_t end = std::min(values.size(), begin + chunk);
        std::fill(values.begin() + static_cast<std::ptrdiff_t>(begin), values.begin() + static_cast<std::ptrdiff_t>(end),
                  fill);
    });
}

}  // namespace

ImageBuffer makeOutputBuffer(int width, int height, const ImageLayout& layout) {
    return makeOutputBuffer(width, height, layout, nullptr);
}

ImageBuffer makeOutputBuffer(int width, int height, const ImageLayout& layout, FloatImage* spare) {
    if (isPlainFloat(layout) && width > 0 && height > 0 && width <= (1 << 16) && height <= (1 << 16)) {
        // Filled once with the marker value, no zeroing first; handed back by move.
        ImageBuffer b = plainFloatBuffer(width, height, layout);
        if (spare && spare->width == width && spare->height == height &&
            spare->rgba.size() == static_cast<size_t>(width) * static_cast<size_t>(height) * 4) {
            b.frame = std::make_shared<FloatImage>(std::move(*spare));
            *spare = FloatImage();
            fillOnWorkers(b.frame->rgba, layout.outputFill);
        } else {
            b.frame = std::make_shared<FloatImage>(width, height, layout.outputFill);
        }
        b.data = bottomRowOf(*b.frame);
        return b;
    }
    ImageBuffer b = allocate(width, height, layout);
    if (b.width() <= 0 || b.height() <= 0) return b;
    const int n = channelCount(b.components);
    const int cb = depthBytes(b.depth);
    // One row converted, the others copies of it.
    const size_t rowLen = static_cast<size_t>(b.width()) * n * cb;
    uint8_t* first = b.data;
    for (int i = 0; i < b.width() * n; ++i) storeChannel(first + i * cb, b.depth, layout.outputFill);
    for (int y = 1; y < b.height(); ++y) std::memcpy(b.data + static_cast<long>(y) * b.rowBytes, first, rowLen);
    return b;
}

FloatImage takeBuffer(std::shared_ptr<ImageBuffer> buffer) {
    if (!buffer) return FloatImage();
    // Only when no image handle still points into it: a plug-in that never
    // released the output keeps writable pixels.
    if (buffer.use_count() == 1 && buffer->frame && buffer->frame.use_count() == 1 &&
        buffer->data == bottomRowOf(*buffer->frame)) {
        FloatImage out = std::move(*buffer->frame);
        buffer->frame.reset();
        buffer->data = nullptr;
        return out;
    }
    return readBuffer(*buffer);
}

FloatImage readBuffer(const ImageBuffer& b) {
    FloatImage out(std::max(0, b.width()), std::max(0, b.height()));
    if (out.empty() || !b.data) return out;
    const int n = channelCount(b.components);
    const int cb = depthBytes(b.depth);
    if (b.depth == BitDepth::Float && b.components == Components::RGBA) {
        for (int y = 0; y < out.height; ++y)
            std::memcpy(out.pixel(0, y), rowFromTop(b, y), static_cast<size_t>(out.width) * 16);
        return out;
    }
    for (int y = 0; y < out.height; ++y) {
        const uint8_t* row = rowFromTop(b, y);
        for (int x = 0; x < out.width; ++x) {
            const uint8_t* src = row + static_cast<long>(x) * n * cb;
            float* px = out.pixel(x, y);
            if (b.components == Components::Alpha) {
                px[0] = px[1] = px[2] = 0.0f;
                px[3] = loadChannel(src, b.depth);
            } else {
                for (int c = 0; c < n; ++c) px[c] = loadChannel(src + c * cb, b.depth);
                if (n == 3) px[3] = 1.0f;
            }
        }
    }
    return out;
}

FloatImage::FloatImage(int w, int h, float fill)
    : width(std::max(0, w)), height(std::max(0, h)),
      rgba(static_cast<size_t>(std::max(0, w)) * static_cast<size_t>(std::max(0, h)) * 4, fill) {}

}  // namespace ofxhost
