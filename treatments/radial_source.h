// The radial blur's view of the picture before it is blurred: which chunks
// of it are all zero bits, and where each row's original pixels are read.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/row_bands.h"
#include "engine/types.h"

namespace ormel {
namespace radial {

// Which 64-column chunks of each row of the picture hold only zero bits. A
// sample that reads only such pixels is +0 in every channel (each mix and
// sum of +0 is +0), so a mostly clear overlay layer costs little.
class ClearChunks {
public:
    static constexpr int32_t kChunk = 64;

    ClearChunks(int32_t width, int32_t height);

    // Notes the chunks of row y, whose pixels start at `pixels`.
    void scan(const float* pixels, int32_t width, int32_t y);
    // After every row is scanned.
    void finish();

    // False when no chunk anywhere is clear: then no block needs asking.
    bool anyClear() const { return anyClear_; }

    // True when columns [lo, hi] of row y hold only zero pixels.
    bool clear(int32_t y, int32_t lo, int32_t hi) const {
        const uint64_t* row = &bits_[static_cast<size_t>(y) * words_];
        for (int32_t chunk = lo / kChunk; chunk <= hi / kChunk; ++chunk) {
            if ((row[chunk / 64] >> (chunk % 64)) & 1u) return false;
        }
        return true;
    }

private:
    size_t words_;
    std::vector<uint64_t> bits_;
    std::vector<uint8_t> rowHasClear_;
    bool anyClear_ = false;
};

// Where the pixels of the picture before the blur are read from. When every
// scale lies in [0, 1], a sample reads toward the centre only, so the
// picture itself serves: the blur goes strip by strip in an order that never
// overwrites a column a later strip reads, writes each row of a strip once no
// later row of its band reads it, and only the rows a band reads beyond its
// own edges (reachRows at most) are copied beforehand, as another band may
// write them meanwhile. Otherwise the whole picture is copied, each row
// followed by a repeat of its last pixel.
class Originals {
public:
    Originals(const Image& image, bool inPlace, int32_t reachRows, const RowBands& bands);

    // Row y as it was, for work on the rows of `band`.
    const float* row(int32_t y, Band band) const {
        if (copy_) return copy_.get() + static_cast<size_t>(y) * stride_;
        if ((y < band.begin || y >= band.end) && saved_[static_cast<size_t>(y)]) {
            return saved_[static_cast<size_t>(y)].get();
        }
        return pixels_ + static_cast<size_t>(y) * static_cast<size_t>(width_) * 4;
    }

    // True when every row carries one pixel past its last.
    bool padded() const { return copy_ != nullptr; }
    const ClearChunks& zeros() const { return zeros_; }
    int32_t width() const { return width_; }

private:
    int32_t width_;
    const float* pixels_;
    ClearChunks zeros_;
    size_t stride_ = 0;
    std::unique_ptr<float[]> copy_;
    std::vector<std::unique_ptr<float[]>> saved_;
};

}  // namespace radial
}  // namespace ormel
