// Rows of a picture that live outside an Image: a caller's buffer (a host's
// output image, say) that finished rows are written straight into, saving the
// copy a separate pass would make.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {

// Row y (top-down, as in Image) of a width x height float RGBA picture starts
// at first + y * rowBytes; rowBytes may be negative, for a bottom-up buffer.
// The caller keeps every row addressable and aligned to a float.
struct PictureRows {
    unsigned char* first = nullptr;
    std::ptrdiff_t rowBytes = 0;
    int32_t width = 0;
    int32_t height = 0;

    Pixel* row(int32_t y) const {
        return reinterpret_cast<Pixel*>(first + static_cast<std::ptrdiff_t>(y) * rowBytes);
    }
    bool fits(const Image& image) const {
        return first != nullptr && width == image.width && height == image.height && !image.empty();
    }
};

// The rows of `image` itself, for a pass that writes either in place or
// elsewhere; `image` is usable (image_checks.h).
inline PictureRows rowsOf(Image& image) {
    PictureRows rows;
    rows.first = reinterpret_cast<unsigned char*>(image.pixels.data());
    rows.rowBytes = static_cast<std::ptrdiff_t>(image.width) * static_cast<std::ptrdiff_t>(sizeof(Pixel));
    rows.width = image.width;
    rows.height = image.height;
    return rows;
}

// Copies `bytes` from src to dst with stores that bypass the caches where dst
// is 16-byte aligned: for frame-sized copies ordinary stores would first read
// every destination line only to overwrite it. A band of such copies ends
// with finishStreamedRows().
void copyRowStreaming(void* dst, const void* src, size_t bytes);

// Makes the streamed stores of this thread visible before the band counts as done.
void finishStreamedRows();

// Writes every row of `image` into `out`, which fits it.
void copyToPictureRows(const Image& image, const PictureRows& out, const RowBands& bands);

}  // namespace ormel
