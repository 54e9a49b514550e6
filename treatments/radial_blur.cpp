#include "treatments/radial_blur.h"

#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "engine/image_checks.h"
#include "treatments/radial_rows.h"
#include "treatments/safe_convert.h"

namespace ormel {
namespace {

constexpr int32_t kMaxSamples = 12;
// Output columns done together: the mixed rows of every sample for this many
// columns stay in the processor's near caches from one output row to the next.
constexpr int32_t kStrip = 64;
constexpr int32_t kChunk = 64;

// The picture before the blur. Each row is followed by a repeat of its last
// pixel, so the pixel after column x0 is always bilinearSample's x1 =
// min(x0 + 1, width - 1). It also notes which 64-column chunks of each row
// hold only zero bits: a sample that reads only such pixels is +0 in every
// channel (each mix and sum of +0 is +0), so a mostly clear overlay layer
// costs little.
class Source {
public:
    // Floats past the last row that a vector load near its end may touch.
    static constexpr size_t kSlack = 32;

    Source(const Image& image, const RowBands& bands)
        : width_(image.width),
          stride_((static_cast<size_t>(image.width) + 1) * 4),
          data_(new float[stride_ * static_cast<size_t>(image.height) + kSlack]),
          words_((static_cast<size_t>(image.width) + kChunk * 64 - 1) / (kChunk * 64)),
          bits_(words_ * static_cast<size_t>(image.height), 0),
          rowHasClear_(static_cast<size_t>(image.height), 0) {
        const size_t width = static_cast<size_t>(image.width);
        bands.forEachBand(image.height, [&](Band band) {
            for (int32_t y = band.begin; y < band.end; ++y) {
                const float* in = reinterpret_cast<const float*>(&image.pixels[static_cast<size_t>(y) * width]);
                float* out = data_.get() + static_cast<size_t>(y) * stride_;
                uint64_t* row = &bits_[static_cast<size_t>(y) * words_];
                bool anyClear = false;
                for (size_t chunk = 0; chunk * kChunk < width; ++chunk) {
                    const size_t begin = chunk * kChunk * 4;
                    const size_t end = std::min(width, chunk * kChunk + kChunk) * 4;
                    std::memcpy(out + begin, in + begin, (end - begin) * sizeof(float));
                    uint32_t any = 0;
                    for (size_t i = begin; i < end; ++i) {
                        uint32_t bits;
                        std::memcpy(&bits, out + i, sizeof bits);
                        any |= bits;
                    }
                    if (any != 0) {
                        row[chunk / 64] |= uint64_t{1} << (chunk % 64);
                    } else {
                        anyClear = true;
                    }
                }
                std::memcpy(out + width * 4, in + (width - 1) * 4, 4 * sizeof(float));
                rowHasClear_[static_cast<size_t>(y)] = anyClear ? 1 : 0;
            }
        });
        for (uint8_t flag : rowHasClear_) anyClear_ = anyClear_ || flag != 0;
    }

    const float* row(int32_t y) const { return data_.get() + static_cast<size_t>(y) * stride_; }

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

    int32_t width() const { return width_; }

private:
    int32_t width_;
    size_t stride_;
    std::unique_ptr<float[]> data_;
    size_t words_;
    std::vector<uint64_t> bits_;
    std::vector<uint8_t> rowHasClear_;
    bool anyClear_ = false;
};

// Where sample k of each output column reads, as bilinearSample finds it: the
// left column and the horizontal fraction. They depend only on the column
// (one scale per sample), so they are found once for the whole picture.
struct SampleColumns {
    std::vector<int32_t> x0;  // sample k's columns at [k * width, (k + 1) * width)
    std::vector<float> fx;

    SampleColumns(int32_t width, float cx, const float* scales, int32_t samples)
        : x0(static_cast<size_t>(width) * static_cast<size_t>(samples)),
          fx(static_cast<size_t>(width) * static_cast<size_t>(samples)) {
        const float hi = static_cast<float>(width - 1);
        for (int32_t k = 0; k < samples; ++k) {
            int32_t* columns = &x0[static_cast<size_t>(k) * static_cast<size_t>(width)];
            float* fractions = &fx[static_cast<size_t>(k) * static_cast<size_t>(width)];
            for (int32_t x = 0; x < width; ++x) {
                const float px = clampCoordinate(cx + scales[k] * (static_cast<float>(x) - cx), hi);
                const int32_t c = static_cast<int32_t>(px);
                const float f = px - static_cast<float>(c);
                columns[x] = c;
                fractions[x] = f < 0.0f ? 0.0f : (f > 1.0f ? 1.0f : f);
            }
        }
    }

    // The first column any sample of output columns [begin, end) reads, and
    // how many from there. Columns move monotonically with the scale and
    // with x, so the first and last sample at both ends bound them.
    std::pair<int32_t, int32_t> reach(int32_t samples, int32_t begin, int32_t end) const {
        const size_t last = static_cast<size_t>(samples - 1) * (x0.size() / static_cast<size_t>(samples));
        const int32_t ends[4] = {x0[static_cast<size_t>(begin)], x0[static_cast<size_t>(end - 1)],
                                 x0[last + static_cast<size_t>(begin)], x0[last + static_cast<size_t>(end - 1)]};
        const int32_t lo = *std::min_element(ends, ends + 4);
        const int32_t hi = *std::max_element(ends, ends + 4);
        return {lo, hi - lo + 2};
    }
};

// The upper and lower source rows and the vertical fraction of each sample
// of output row y (the row's dy is shared by its pixels).
struct SampleRows {
    int32_t top[kMaxSamples];
    int32_t bottom[kMaxSamples];
    float fy[kMaxSamples];

    SampleRows(int32_t height, int32_t y, float cy, const float* scales, int32_t samples) {
        const float dy = static_cast<float>(y) - cy;
        for (int32_t k = 0; k < samples; ++k) {
            const float py = clampCoordinate(cy + scales[k] * dy, static_cast<float>(height - 1));
            const int32_t y0 = static_cast<int32_t>(py);
            const float f = py - static_cast<float>(y0);
            top[k] = y0;
            bottom[k] = y0 + 1 < height ? y0 + 1 : height - 1;
            fy[k] = f < 0.0f ? 0.0f : (f > 1.0f ? 1.0f : f);
        }
    }
};

// The horizontally mixed source rows of one strip of columns, two per sample
// (the upper and lower rows it reads now). Moving down one output row, a
// sample's rows move down by less than one: its lower row usually becomes
// its upper one and only one new row is mixed.
class MixedRows {
public:
    MixedRows(const Source& source, const SampleColumns& columns, int32_t samples)
        : source_(source), columns_(columns), samples_(samples),
          data_(new float[static_cast<size_t>(samples) * 2 * kStrip * 4]) {}

    void startStrip(int32_t begin, int32_t end) {
        begin_ = begin;
        end_ = end;
        for (int32_t k = 0; k < samples_; ++k) held_[k][0] = held_[k][1] = -1;
    }

    // Points top and bottom at sample k's mixed rows for source rows y0 and y1.
    void fetch(int32_t k, int32_t y0, int32_t y1, const float*& top, const float*& bottom) {
        int32_t upper = slotHolding(k, y0);
        if (upper < 0) {
            upper = held_[k][0] == y1 ? 1 : 0;
            mix(k, upper, y0);
        }
        int32_t lower = upper;
        if (y1 != y0) {
            lower = slotHolding(k, y1);
            if (lower < 0) {
                lower = 1 - upper;
                mix(k, lower, y1);
            }
        }
        top = slot(k, upper);
        bottom = slot(k, lower);
    }

private:
    int32_t slotHolding(int32_t k, int32_t y) const {
        return held_[k][0] == y ? 0 : (held_[k][1] == y ? 1 : -1);
    }

    float* slot(int32_t k, int32_t s) { return data_.get() + static_cast<size_t>(2 * k + s) * kStrip * 4; }

    void mix(int32_t k, int32_t s, int32_t y) {
        held_[k][s] = y;
        const int32_t width = source_.width();
        const int32_t* x0 = &columns_.x0[static_cast<size_t>(k) * static_cast<size_t>(width)];
        const float* fx = &columns_.fx[static_cast<size_t>(k) * static_cast<size_t>(width)];
        float* out = slot(k, s);
        const float* row = source_.row(y);
        if (!source_.anyClear()) {
            radial::mixColumns(row, x0 + begin_, fx + begin_, end_ - begin_, out);
            return;
        }
        // Columns move monotonically with x, so the ends of a piece bound its columns.
        for (int32_t x = begin_; x < end_; x += kChunk) {
            const int32_t n = std::min(kChunk, end_ - x);
            const int32_t a = x0[x], b = x0[x + n - 1];
            float* o = out + static_cast<size_t>(x - begin_) * 4;
            if (source_.clear(y, std::min(a, b), std::min(std::max(a, b) + 1, width - 1))) {
                std::fill(o, o + static_cast<size_t>(n) * 4, 0.0f);
            } else {
                radial::mixColumns(row, x0 + x, fx + x, n, o);
            }
        }
    }

    const Source& source_;
    const SampleColumns& columns_;
    int32_t samples_;
    std::unique_ptr<float[]> data_;
    int32_t held_[kMaxSamples][2];
    int32_t begin_ = 0, end_ = 0;
};

constexpr int32_t kAhead = 2;

// Asks for count pixels from p to be brought into the cache.
void prefetchPixels(const float* p, int32_t count) {
    for (int32_t i = 0; i < count; i += 4) __builtin_prefetch(p + static_cast<size_t>(i) * 4);
}

// True when every sample of the pixels [x, x + count) reads only zero pixels.
bool blockIsClear(const Source& source, const SampleColumns& columns, const SampleRows& rows, int32_t samples,
                  int32_t x, int32_t count) {
    const int32_t width = source.width();
    for (int32_t k = 0; k < samples; ++k) {
        const int32_t* x0 = &columns.x0[static_cast<size_t>(k) * static_cast<size_t>(width)];
        const int32_t a = x0[x], b = x0[x + count - 1];
        const int32_t lo = std::min(a, b);
        const int32_t hi = std::min(std::max(a, b) + 1, width - 1);
        if (!source.clear(rows.top[k], lo, hi) || !source.clear(rows.bottom[k], lo, hi)) return false;
    }
    return true;
}

// The means of columns [begin, end) of one output row, blocks of eight whose
// samples all read clear pixels written as +0 without mixing.
void meanSkippingClear(const Source& source, const SampleColumns& columns, const SampleRows& rows, int32_t samples,
                       const float* const* top, const float* const* bottom, int32_t begin, int32_t end, float* out) {
    constexpr int32_t kBlock = 8;
    auto blockEnd = [&](int32_t x) { return std::min(x + kBlock, end); };
    for (int32_t x = begin; x < end;) {
        float* o = out + static_cast<size_t>(x - begin) * 4;
        if (blockIsClear(source, columns, rows, samples, x, blockEnd(x) - x)) {
            std::fill(o, o + static_cast<size_t>(blockEnd(x) - x) * 4, 0.0f);
            x = blockEnd(x);
            continue;
        }
        int32_t runEnd = blockEnd(x);
        while (runEnd < end && !blockIsClear(source, columns, rows, samples, runEnd, blockEnd(runEnd) - runEnd)) {
            runEnd = blockEnd(runEnd);
        }
        const float* runTop[kMaxSamples];
        const float* runBottom[kMaxSamples];
        const size_t offset = static_cast<size_t>(x - begin) * 4;
        for (int32_t k = 0; k < samples; ++k) {
            runTop[k] = top[k] + offset;
            runBottom[k] = bottom[k] + offset;
        }
        radial::meanOfSamples(runTop, runBottom, rows.fy, samples, x, runEnd - x, source.width(), o);
        x = runEnd;
    }
}

// The columns whose upper mixes add their base first, done again pixel by
// pixel from the source rows (a mixed row serves as upper and lower row alike).
void redoUpperBaseFirst(const Source& source, const SampleColumns& columns, const SampleRows& rows,
                        int32_t samples, const radial::ColumnSet& set, const float* const* bottom, int32_t begin,
                        int32_t end, float* out) {
    const int32_t width = source.width();
    int32_t x = set.first;
    if (x < begin) x += (begin - x + set.step - 1) / set.step * set.step;
    const float* upper[kMaxSamples];
    const float* lower[kMaxSamples];
    float fx[kMaxSamples];
    for (; x < std::min(end, set.end); x += set.step) {
        for (int32_t k = 0; k < samples; ++k) {
            const size_t at = static_cast<size_t>(k) * static_cast<size_t>(width) + static_cast<size_t>(x);
            upper[k] = source.row(rows.top[k]) + static_cast<size_t>(columns.x0[at]) * 4;
            fx[k] = columns.fx[at];
            lower[k] = bottom[k] + static_cast<size_t>(x - begin) * 4;
        }
        radial::meanWithUpperBaseFirst(upper, fx, lower, rows.fy, samples, out + static_cast<size_t>(x - begin) * 4);
    }
}

}  // namespace

void applyRadialBlur(Image& image, const Settings& settings, const RowBands& bands) {
    // Written as "not above" so a NaN amount skips the stage instead of running it.
    float amount = settings.radialBlur;
    if (!(amount > 0.001f) || !isUsableImage(image)) return;
    // An infinite amount would turn 0 * strength into NaN for the first sample.
    if (amount > FLT_MAX) amount = FLT_MAX;

    const int32_t extra = truncClamped(10.0f * amount, 0, 9, 0);
    const int32_t samples = extra + 3;
    const float strength = 0.085f * amount;
    const float cx = static_cast<float>(image.width - 1) / 2.0f;
    const float cy = static_cast<float>(image.height - 1) / 2.0f;

    float scales[kMaxSamples];
    for (int32_t k = 0; k < samples; ++k) {
        scales[k] = 1.0f - (static_cast<float>(k) / static_cast<float>(samples - 1)) * strength;
    }

    const Source source(image, bands);
    const SampleColumns columns(image.width, cx, scales, samples);
    const int32_t width = image.width;
    const radial::ColumnSet redo = radial::upperBaseFirst(width);
    bands.forEachBand(image.height, [&](Band band) {
        std::vector<SampleRows> bandRows;
        bandRows.reserve(static_cast<size_t>(band.end - band.begin));
        for (int32_t y = band.begin; y < band.end; ++y) bandRows.emplace_back(image.height, y, cy, scales, samples);
        MixedRows mixed(source, columns, samples);
        const float* top[kMaxSamples];
        const float* bottom[kMaxSamples];
        for (int32_t begin = 0; begin < width; begin += kStrip) {
            const int32_t end = std::min(width, begin + kStrip);
            mixed.startStrip(begin, end);
            const std::pair<int32_t, int32_t> reach = columns.reach(samples, begin, end);
            for (int32_t y = band.begin; y < band.end; ++y) {
                const SampleRows& rows = bandRows[static_cast<size_t>(y - band.begin)];
                if (y + kAhead < band.end) {
                    // The rows that enter the samples' reach a few rows ahead, over
                    // every column any sample of the strip reads.
                    const SampleRows& ahead = bandRows[static_cast<size_t>(y + kAhead - band.begin)];
                    prefetchPixels(source.row(ahead.bottom[0]) + static_cast<size_t>(reach.first) * 4, reach.second);
                    prefetchPixels(source.row(ahead.bottom[samples - 1]) + static_cast<size_t>(reach.first) * 4,
                                   reach.second);
                }
                for (int32_t k = 0; k < samples; ++k) mixed.fetch(k, rows.top[k], rows.bottom[k], top[k], bottom[k]);
                float* out = reinterpret_cast<float*>(&image.at(begin, y));
                if (!source.anyClear()) {
                    radial::meanOfSamples(top, bottom, rows.fy, samples, begin, end - begin, width, out);
                } else {
                    meanSkippingClear(source, columns, rows, samples, top, bottom, begin, end, out);
                }
                if (redo.first < end && redo.end > begin) {
                    redoUpperBaseFirst(source, columns, rows, samples, redo, bottom, begin, end, out);
                }
            }
        }
    });
}

}  // namespace ormel
