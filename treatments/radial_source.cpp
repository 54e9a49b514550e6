#include "treatments/radial_source.h"

#include <algorithm>
#include <cstring>

#include "engine/simd_asm.h"

namespace ormel {
namespace radial {

namespace {

// Rows ahead of the scan whose chunks are asked for.
constexpr int32_t kScanAhead = 4;

// The or of the bits of floats [begin, end).
uint32_t anyBits(const float* pixels, size_t begin, size_t end) {
    uint32_t any = 0;
    for (size_t i = begin; i < end; ++i) {
        uint32_t bits;
        std::memcpy(&bits, pixels + i, sizeof bits);
        any |= bits;
    }
    return any;
}

}  // namespace

ClearChunks::ClearChunks(int32_t width, int32_t height)
    : words_((static_cast<size_t>(width) + kChunk * 64 - 1) / (kChunk * 64)),
      bits_(words_ * static_cast<size_t>(height), 0),
      rowHasClear_(static_cast<size_t>(height), 0) {}

void ClearChunks::scan(const float* pixels, int32_t width, int32_t y) {
    uint64_t* row = &bits_[static_cast<size_t>(y) * words_];
    bool anyClear = false;
    for (int32_t chunk = 0; chunk * kChunk < width; ++chunk) {
        const size_t begin = static_cast<size_t>(chunk) * kChunk * 4;
        const size_t end = static_cast<size_t>(std::min(width, chunk * kChunk + kChunk)) * 4;
        // A busy picture shows itself in a chunk's first pixels; only a
        // chunk that starts clear is read to its end.
        const size_t head = std::min(end, begin + 16);
        if (anyBits(pixels, begin, head) != 0 || anyBits(pixels, head, end) != 0) {
            row[chunk / 64] |= uint64_t{1} << (chunk % 64);
        } else {
            anyClear = true;
        }
    }
    rowHasClear_[static_cast<size_t>(y)] = anyClear ? 1 : 0;
}

void ClearChunks::finish() {
    for (uint8_t flag : rowHasClear_) anyClear_ = anyClear_ || flag != 0;
}

Originals::Originals(const Image& image, bool inPlace, int32_t reachRows, const RowBands& bands)
    : width_(image.width),
      pixels_(reinterpret_cast<const float*>(image.pixels.data())),
      zeros_(image.width, image.height) {
    const size_t width = static_cast<size_t>(image.width);
    if (inPlace) {
        saved_.resize(static_cast<size_t>(image.height));
    } else {
        stride_ = (width + 1) * 4;
        copy_.reset(new float[stride_ * static_cast<size_t>(image.height)]);
    }
    // Each band scans and copies only its own rows.
    bands.forEachBand(image.height, [&](Band band) {
        for (int32_t y = band.begin; y < band.end; ++y) {
            const float* in = pixels_ + static_cast<size_t>(y) * width * 4;
            if (y + kScanAhead < band.end) {
                // The scan reads little more than each chunk's first line, one
                // far from the next, so they are asked for a few rows ahead.
                const float* ahead = in + static_cast<size_t>(kScanAhead) * width * 4;
                for (size_t x = 0; x < width; x += ClearChunks::kChunk) prefetchLine(ahead + x * 4);
            }
            zeros_.scan(in, image.width, y);
            if (copy_) {
                float* out = copy_.get() + static_cast<size_t>(y) * stride_;
                std::memcpy(out, in, width * 4 * sizeof(float));
                std::memcpy(out + width * 4, in + (width - 1) * 4, 4 * sizeof(float));
            } else if ((band.begin > 0 && y < band.begin + reachRows) ||
                       (band.end < image.height && y >= band.end - reachRows)) {
                saved_[static_cast<size_t>(y)].reset(new float[width * 4]);
                std::memcpy(saved_[static_cast<size_t>(y)].get(), in, width * 4 * sizeof(float));
            }
        }
    });
    zeros_.finish();
}

}  // namespace radial
}  // namespace ormel
