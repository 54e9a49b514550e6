#include "plugin/image_transfer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

#include "engine/reduction.h"

namespace ormel {
namespace {

constexpr size_t kPixelBytes = sizeof(float) * 4;
static_assert(sizeof(Pixel) == kPixelBytes, "Pixel must be four packed floats");

// Bounds arrive from the host as ints; their difference may not fit one.
int64_t span(int lo, int hi) { return static_cast<int64_t>(hi) - static_cast<int64_t>(lo); }

// Walks one row of host float RGBA pixels, yielding engine pixels, so that the
// engine image is built in a single pass over freshly allocated memory
// instead of being filled with defaults first and copied over afterwards.
class HostRowIterator {
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = Pixel;
    using difference_type = std::ptrdiff_t;
    using pointer = const Pixel*;
    using reference = Pixel;

    explicit HostRowIterator(const unsigned char* p) : p_(p) {}

    Pixel operator*() const {
        float c[4];
        std::memcpy(c, p_, kPixelBytes);
        return Pixel{c[0], c[1], c[2], c[3]};
    }
    Pixel operator[](difference_type n) const { return *(*this + n); }
    HostRowIterator& operator++() {
        p_ += kPixelBytes;
        return *this;
    }
    HostRowIterator operator++(int) {
        HostRowIterator old = *this;
        ++*this;
        return old;
    }
    HostRowIterator& operator--() {
        p_ -= kPixelBytes;
        return *this;
    }
    HostRowIterator& operator+=(difference_type n) {
        p_ += n * static_cast<difference_type>(kPixelBytes);
        return *this;
    }
    HostRowIterator operator+(difference_type n) const {
        HostRowIterator r = *this;
        r += n;
        return r;
    }
    difference_type operator-(const HostRowIterator& o) const {
        return (p_ - o.p_) / static_cast<difference_type>(kPixelBytes);
    }
    bool operator==(const HostRowIterator& o) const { return p_ == o.p_; }
    bool operator!=(const HostRowIterator& o) const { return p_ != o.p_; }
    bool operator<(const HostRowIterator& o) const { return p_ < o.p_; }

private:
    const unsigned char* p_;
};

// Address of host row `hostRow` (counted from y1), through a stride that may
// be negative: the standard lets a host store the top row first.
const unsigned char* rowAt(const HostImageAccess& a, int64_t hostRow) {
    return static_cast<const unsigned char*>(a.data) +
           static_cast<std::ptrdiff_t>(hostRow) * static_cast<std::ptrdiff_t>(a.rowBytes);
}

// Rows can be copied whole when each holds the image's width: a stride shorter
// than a row (in either direction) would overlap, so such an image goes pixel
// by pixel through the host's addresses instead.
bool rowsCopyable(const HostImageAccess& a, int64_t width) {
    if (a.data == nullptr || a.rowBytes == 0) return false;
    const int64_t stride = a.rowBytes < 0 ? -static_cast<int64_t>(a.rowBytes) : a.rowBytes;
    return stride >= width * static_cast<int64_t>(kPixelBytes);
}

}  // namespace

Image readHostImage(const HostImageAccess& src) {
    Image out;
    readHostImageInto(src, out);
    return out;
}

void readHostImageInto(const HostImageAccess& src, Image& out) {
    out.pixels.clear();   // keeps its memory
    out.width = 0;
    out.height = 0;
    if (!src.floatRgba) return;
    const int64_t w = span(src.x1, src.x2);
    const int64_t h = span(src.y1, src.y2);
    if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX) return;
    out.width = static_cast<int32_t>(w);
    out.height = static_cast<int32_t>(h);
    out.pixels.reserve(static_cast<size_t>(w) * static_cast<size_t>(h));

    if (rowsCopyable(src, w)) {
        const size_t rowCopy = static_cast<size_t>(w) * kPixelBytes;
        for (int64_t y = 0; y < h; ++y) {
            const unsigned char* row = rowAt(src, h - 1 - y);
            out.pixels.insert(out.pixels.end(), HostRowIterator(row), HostRowIterator(row + rowCopy));
        }
        return;
    }
    for (int32_t y = 0; y < out.height; ++y) {
        const int hostY = static_cast<int>(static_cast<int64_t>(src.y2) - 1 - y);
        for (int32_t x = 0; x < out.width; ++x) {
            void* p = src.pixelAddress ? src.pixelAddress(src.x1 + x, hostY) : nullptr;
            if (p != nullptr) {
                out.pixels.push_back(*HostRowIterator(static_cast<const unsigned char*>(p)));
            } else {
                out.pixels.push_back(Pixel{0.0f, 0.0f, 0.0f, 0.0f});
            }
        }
    }
}

Image readHostImageReduced(const HostImageAccess& src, int32_t factor) {
    if (factor <= 1) return readHostImage(src);
    if (!src.floatRgba) return Image();
    const int64_t w = span(src.x1, src.x2);
    const int64_t h = span(src.y1, src.y2);
    if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX) return Image();
    const int32_t width = static_cast<int32_t>(w), height = static_cast<int32_t>(h);
    const int32_t outW = reducedExtent(width, factor), outH = reducedExtent(height, factor);
    std::vector<int32_t> columns(static_cast<size_t>(outW));
    for (int32_t x = 0; x < outW; ++x) columns[static_cast<size_t>(x)] = nearestSourceIndex(x, factor, width);

    Image out;
    out.width = outW;
    out.height = outH;
    out.pixels.reserve(static_cast<size_t>(outW) * static_cast<size_t>(outH));
    const bool rows = rowsCopyable(src, w);
    for (int32_t y = 0; y < outH; ++y) {
        const int32_t sy = nearestSourceIndex(y, factor, height);
        const unsigned char* row = rows ? rowAt(src, h - 1 - sy) : nullptr;
        const int hostY = static_cast<int>(static_cast<int64_t>(src.y2) - 1 - sy);
        for (int32_t sx : columns) {
            const void* p = row ? row + static_cast<size_t>(sx) * kPixelBytes
                                : (src.pixelAddress ? src.pixelAddress(src.x1 + sx, hostY) : nullptr);
            if (p != nullptr) {
                out.pixels.push_back(*HostRowIterator(static_cast<const unsigned char*>(p)));
            } else {
                out.pixels.push_back(Pixel{0.0f, 0.0f, 0.0f, 0.0f});
            }
        }
    }
    return out;
}

void writeHostImage(const Image& image, const HostImageAccess& dst) {
    if (!dst.floatRgba) return;
    if (image.empty() ||
        image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height))
        return;
    const int64_t hostH = span(dst.y1, dst.y2);
    const int64_t cols = std::min<int64_t>(span(dst.x1, dst.x2), image.width);
    const int64_t rows = std::min<int64_t>(hostH, image.height);
    if (cols <= 0 || rows <= 0) return;

    if (rowsCopyable(dst, cols)) {
        const size_t rowCopy = static_cast<size_t>(cols) * kPixelBytes;
        for (int32_t i = 0; i < rows; ++i) {
            auto* row = const_cast<unsigned char*>(rowAt(dst, hostH - 1 - i));
            std::memcpy(row, static_cast<const void*>(&image.at(0, i)), rowCopy);
        }
        return;
    }
    if (!dst.pixelAddress) return;
    for (int32_t i = 0; i < rows; ++i) {
        const int hostY = static_cast<int>(static_cast<int64_t>(dst.y2) - 1 - i);
        for (int32_t j = 0; j < cols; ++j) {
            void* p = dst.pixelAddress(dst.x1 + j, hostY);
            if (p != nullptr) std::memcpy(p, static_cast<const void*>(&image.at(j, i)), kPixelBytes);
        }
    }
}

}  // namespace ormel
