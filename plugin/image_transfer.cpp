#include "plugin/image_transfer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

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

}  // namespace

Image readHostImage(const HostImageAccess& src) {
    if (!src.floatRgba) return Image();
    const int64_t w = span(src.x1, src.x2);
    const int64_t h = span(src.y1, src.y2);
    if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX) return Image();

    if (src.data != nullptr && src.rowBytes > 0) {
        Image out;
        out.width = static_cast<int32_t>(w);
        out.height = static_cast<int32_t>(h);
        out.pixels.reserve(static_cast<size_t>(w) * static_cast<size_t>(h));
        const auto* base = static_cast<const unsigned char*>(src.data);
        const size_t rowCopy = static_cast<size_t>(w) * kPixelBytes;
        for (int64_t y = 0; y < h; ++y) {
            const unsigned char* row = base + static_cast<size_t>(y) * static_cast<size_t>(src.rowBytes);
            out.pixels.insert(out.pixels.end(), HostRowIterator(row), HostRowIterator(row + rowCopy));
        }
        return out;
    }

    Image out(static_cast<int32_t>(w), static_cast<int32_t>(h));
    for (int32_t y = 0; y < out.height; ++y) {
        for (int32_t x = 0; x < out.width; ++x) {
            void* p = src.pixelAddress ? src.pixelAddress(src.x1 + x, src.y1 + y) : nullptr;
            if (p != nullptr) {
                float c[4];
                std::memcpy(c, p, kPixelBytes);
                out.at(x, y) = Pixel{c[0], c[1], c[2], c[3]};
            } else {
                out.at(x, y) = Pixel{0.0f, 0.0f, 0.0f, 0.0f};
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
    const int64_t cols = std::min<int64_t>(span(dst.x1, dst.x2), image.width);
    const int64_t rows = std::min<int64_t>(span(dst.y1, dst.y2), image.height);
    if (cols <= 0 || rows <= 0) return;

    if (dst.data != nullptr && dst.rowBytes > 0) {
        auto* base = static_cast<unsigned char*>(dst.data);
        const size_t rowCopy = static_cast<size_t>(cols) * kPixelBytes;
        for (int32_t i = 0; i < rows; ++i) {
            std::memcpy(base + static_cast<size_t>(i) * static_cast<size_t>(dst.rowBytes),
                        static_cast<const void*>(&image.at(0, i)), rowCopy);
        }
        return;
    }
    if (!dst.pixelAddress) return;
    for (int32_t i = 0; i < rows; ++i) {
        for (int32_t j = 0; j < cols; ++j) {
            void* p = dst.pixelAddress(dst.x1 + j, dst.y1 + i);
            if (p != nullptr) std::memcpy(p, static_cast<const void*>(&image.at(j, i)), kPixelBytes);
        }
    }
}

}  // namespace ormel
