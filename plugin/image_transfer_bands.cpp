#include "plugin/image_transfer_bands.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <climits>
#include <vector>

#include "engine/picture_rows.h"
#include "engine/reduction.h"

namespace ormel {

Image readHostImage(const HostImageAccess& src, const RowBands& bands) {
    Image out;
    readHostImageInto(src, out, bands);
    return out;
}

void readHostImageInto(const HostImageAccess& src, Image& out, const RowBands& bands) {
    const int64_t w = static_cast<int64_t>(src.x2) - src.x1;
    const int64_t h = static_cast<int64_t>(src.y2) - src.y1;
    const int64_t stride = src.rowBytes < 0 ? -static_cast<int64_t>(src.rowBytes) : src.rowBytes;
    // Every case the plain routine turns down or copies pixel by pixel is its
    // own; whole rows stream past the caches on one thread as on many.
    if (!src.floatRgba || src.data == nullptr || w <= 0 || h < 2 ||
        w > INT32_MAX || h > INT32_MAX || stride < w * static_cast<int64_t>(sizeof(Pixel))) {
        readHostImageInto(src, out);
        return;
    }
    out.width = static_cast<int32_t>(w);
    out.height = static_cast<int32_t>(h);
    out.pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    const size_t rowCopy = static_cast<size_t>(w) * sizeof(Pixel);
    bands.forEachBand(out.height, [&](Band band) {
        for (int32_t y = band.begin; y < band.end; ++y) {
            // Engine row y is host row y2 - 1 - y, counted from y1.
            const auto* row = static_cast<const unsigned char*>(src.data) +
                              static_cast<std::ptrdiff_t>(h - 1 - y) * static_cast<std::ptrdiff_t>(src.rowBytes);
            copyRowStreaming(static_cast<void*>(&out.at(0, y)), row, rowCopy);
        }
        finishStreamedRows();
    });
}

void readHostImageReducedInto(const HostImageAccess& src, int32_t factor, Image& out, const RowBands& bands) {
    if (factor <= 1) {
        readHostImageInto(src, out, bands);
        return;
    }
    const int64_t w = static_cast<int64_t>(src.x2) - src.x1;
    const int64_t h = static_cast<int64_t>(src.y2) - src.y1;
    const int64_t stride = src.rowBytes < 0 ? -static_cast<int64_t>(src.rowBytes) : src.rowBytes;
    // Only whole rows at a usable stride are read here; every other case, and
    // every refusal, is the plain routine's.
    if (!src.floatRgba || src.data == nullptr || w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX ||
        stride < w * static_cast<int64_t>(sizeof(Pixel))) {
        out = readHostImageReduced(src, factor);
        return;
    }
    const int32_t width = static_cast<int32_t>(w), height = static_cast<int32_t>(h);
    out.width = reducedExtent(width, factor);
    out.height = reducedExtent(height, factor);
    out.pixels.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
    std::vector<size_t> offsets(static_cast<size_t>(out.width));
    for (int32_t x = 0; x < out.width; ++x)
        offsets[static_cast<size_t>(x)] = static_cast<size_t>(nearestSourceIndex(x, factor, width)) * sizeof(Pixel);
    // Each kept pixel sits on a cache line of its own, so the time is memory
    // latency; the bands let several threads wait at once.
    bands.forEachBand(out.height, [&](Band band) {
        for (int32_t y = band.begin; y < band.end; ++y) {
            const int32_t sy = nearestSourceIndex(y, factor, height);
            const auto* row = static_cast<const unsigned char*>(src.data) +
                              static_cast<std::ptrdiff_t>(h - 1 - sy) * static_cast<std::ptrdiff_t>(src.rowBytes);
            Pixel* dst = &out.at(0, y);
            for (size_t x = 0; x < offsets.size(); ++x) std::memcpy(static_cast<void*>(dst + x), row + offsets[x], sizeof(Pixel));
        }
    });
}

PictureRows hostPictureRows(const HostImageAccess& dst) {
    const int64_t w = static_cast<int64_t>(dst.x2) - dst.x1;
    const int64_t h = static_cast<int64_t>(dst.y2) - dst.y1;
    const int64_t stride = dst.rowBytes < 0 ? -static_cast<int64_t>(dst.rowBytes) : dst.rowBytes;
    const bool usable = dst.floatRgba && dst.data != nullptr && w > 0 && h > 0 && w <= INT32_MAX && h <= INT32_MAX &&
                        stride >= w * static_cast<int64_t>(sizeof(Pixel)) &&
                        reinterpret_cast<uintptr_t>(dst.data) % alignof(float) == 0 && stride % alignof(float) == 0;
    if (!usable) return PictureRows{};
    PictureRows rows;
    rows.first = static_cast<unsigned char*>(dst.data) + static_cast<std::ptrdiff_t>(h - 1) * dst.rowBytes;
    rows.rowBytes = -static_cast<std::ptrdiff_t>(dst.rowBytes);
    rows.width = static_cast<int32_t>(w);
    rows.height = static_cast<int32_t>(h);
    return rows;
}

void writeHostImage(const Image& image, const HostImageAccess& dst, const RowBands& bands) {
    const int64_t hostH = static_cast<int64_t>(dst.y2) - dst.y1;
    const int64_t cols = std::min<int64_t>(static_cast<int64_t>(dst.x2) - dst.x1, image.width);
    const int64_t rows = std::min<int64_t>(hostH, image.height);
    const int64_t stride = dst.rowBytes < 0 ? -static_cast<int64_t>(dst.rowBytes) : dst.rowBytes;
    const size_t rowCopy = static_cast<size_t>(std::max<int64_t>(cols, 0)) * sizeof(Pixel);
    // Only whole rows at a usable stride are split; everything else (and every
    // check) is the plain routine's.
    const bool rowWise = dst.floatRgba && dst.data != nullptr && !image.empty() &&
                         image.pixels.size() == static_cast<size_t>(image.width) * static_cast<size_t>(image.height) &&
                         cols > 0 && rows > 0 && stride >= static_cast<int64_t>(rowCopy);
    if (!rowWise || rows < 2) {
        writeHostImage(image, dst);
        return;
    }
    bands.forEachBand(static_cast<int32_t>(rows), [&](Band band) {
        for (int32_t i = band.begin; i < band.end; ++i) {
            // Engine row i is host row y2 - 1 - i, counted from y1.
            auto* row = static_cast<unsigned char*>(dst.data) +
                        static_cast<std::ptrdiff_t>(hostH - 1 - i) * static_cast<std::ptrdiff_t>(dst.rowBytes);
            copyRowStreaming(row, static_cast<const void*>(&image.at(0, i)), rowCopy);
        }
        finishStreamedRows();
    });
}

}  // namespace ormel
