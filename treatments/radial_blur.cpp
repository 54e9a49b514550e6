#include "treatments/radial_blur.h"

#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "engine/image_checks.h"
#include "engine/simd_asm.h"
#include "treatments/radial_rows.h"
#include "treatments/radial_source.h"
#include "treatments/safe_convert.h"

namespace ormel {
namespace {

using radial::ClearChunks;
using radial::Originals;
constexpr int32_t kChunk = ClearChunks::kChunk;

constexpr int32_t kMaxSamples = 12;
// Output columns done together: the mixed rows of every sample for this many
// columns stay in the processor's near caches from one output row to the next,
// and the work of starting a strip is spread over many columns.
constexpr int32_t kStrip = 192;

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

// Floats from a 64-byte boundary on, so that how the vector loads and stores
// of the mixed and done rows fall on cache lines does not depend on where the
// allocator happens to place them.
class AlignedFloats {
public:
    explicit AlignedFloats(size_t count) : storage_(new float[count + 16]) {
        const uintptr_t at = reinterpret_cast<uintptr_t>(storage_.get());
        data_ = storage_.get() + (64 - at % 64) % 64 / sizeof(float);
    }
    float* get() const { return data_; }

private:
    std::unique_ptr<float[]> storage_;
    float* data_;
};

// The horizontally mixed source rows of one strip of columns, two per sample
// (the upper and lower rows it reads now). Moving down one output row, a
// sample's rows move down by less than one: its lower row usually becomes
// its upper one and only one new row is mixed.
class MixedRows {
public:
    MixedRows(const Originals& source, const SampleColumns& columns, int32_t samples, Band band)
        : source_(source), columns_(columns), samples_(samples), band_(band),
          data_(static_cast<size_t>(samples) * 2 * kStrip * 4) {
        std::fill(first_, first_ + kStrip, 0);
    }

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
        const float* row = source_.row(y, band_);
        // Without a repeated pixel after the row, columns on the last one mix
        // it with itself (bilinearSample's x1 is the same column); they come
        // last, as columns only grow with x here.
        int32_t end = end_;
        if (!source_.padded()) {
            while (end > begin_ && x0[end - 1] >= width - 1) --end;
            if (end < end_) {
                float edge[8];
                std::memcpy(edge, row + static_cast<size_t>(width - 1) * 4, 4 * sizeof(float));
                std::memcpy(edge + 4, edge, 4 * sizeof(float));
                radial::mixColumns(edge, first_, fx + end, end_ - end, out + static_cast<size_t>(end - begin_) * 4);
            }
        }
        const ClearChunks& zeros = source_.zeros();
        if (!zeros.anyClear()) {
            radial::mixColumns(row, x0 + begin_, fx + begin_, end - begin_, out);
            return;
        }
        // Columns move monotonically with x, so the ends of a piece bound its columns.
        for (int32_t x = begin_; x < end; x += kChunk) {
            const int32_t n = std::min(kChunk, end - x);
            const int32_t a = x0[x], b = x0[x + n - 1];
            float* o = out + static_cast<size_t>(x - begin_) * 4;
            if (zeros.clear(y, std::min(a, b), std::min(std::max(a, b) + 1, width - 1))) {
                std::fill(o, o + static_cast<size_t>(n) * 4, 0.0f);
            } else {
                radial::mixColumns(row, x0 + x, fx + x, n, o);
            }
        }
    }

    const Originals& source_;
    const SampleColumns& columns_;
    int32_t samples_;
    Band band_;
    AlignedFloats data_;
    int32_t held_[kMaxSamples][2];
    int32_t first_[kStrip];  // column 0 for every pixel of a strip
    int32_t begin_ = 0, end_ = 0;
};

constexpr int32_t kAhead = 4;

// Asks for count pixels from p to be brought into the second-level cache,
// where they wait without pushing the mixed rows out of the first.
void prefetchPixels(const float* p, int32_t count) {
    for (int32_t i = 0; i < count; i += 4) prefetchLine(p + static_cast<size_t>(i) * 4);
}

// True when every sample of the pixels [x, x + count) reads only zero pixels.
bool blockIsClear(const ClearChunks& zeros, const SampleColumns& columns, const SampleRows& rows, int32_t samples,
                  int32_t width, int32_t x, int32_t count) {
    for (int32_t k = 0; k < samples; ++k) {
        const int32_t* x0 = &columns.x0[static_cast<size_t>(k) * static_cast<size_t>(width)];
        const int32_t a = x0[x], b = x0[x + count - 1];
        const int32_t lo = std::min(a, b);
        const int32_t hi = std::min(std::max(a, b) + 1, width - 1);
        if (!zeros.clear(rows.top[k], lo, hi) || !zeros.clear(rows.bottom[k], lo, hi)) return false;
    }
    return true;
}

// The means of columns [begin, end) of one output row, blocks of eight whose
// samples all read clear pixels written as +0 without mixing.
void meanSkippingClear(const ClearChunks& zeros, const SampleColumns& columns, const SampleRows& rows,
                       int32_t samples, int32_t width, const float* const* top, const float* const* bottom,
                       int32_t begin, int32_t end, float* out) {
    constexpr int32_t kBlock = 8;
    auto blockEnd = [&](int32_t x) { return std::min(x + kBlock, end); };
    auto clear = [&](int32_t x) { return blockIsClear(zeros, columns, rows, samples, width, x, blockEnd(x) - x); };
    for (int32_t x = begin; x < end;) {
        float* o = out + static_cast<size_t>(x - begin) * 4;
        if (clear(x)) {
            std::fill(o, o + static_cast<size_t>(blockEnd(x) - x) * 4, 0.0f);
            x = blockEnd(x);
            continue;
        }
        int32_t runEnd = blockEnd(x);
        while (runEnd < end && !clear(runEnd)) runEnd = blockEnd(runEnd);
        const float* runTop[kMaxSamples];
        const float* runBottom[kMaxSamples];
        const size_t offset = static_cast<size_t>(x - begin) * 4;
        for (int32_t k = 0; k < samples; ++k) {
            runTop[k] = top[k] + offset;
            runBottom[k] = bottom[k] + offset;
        }
        radial::meanOfSamples(runTop, runBottom, rows.fy, samples, x, runEnd - x, width, o);
        x = runEnd;
    }
}

// The columns whose upper mixes add their base first, done again pixel by
// pixel from the source rows (a mixed row serves as upper and lower row alike).
void redoUpperBaseFirst(const Originals& source, Band band, const SampleColumns& columns, const SampleRows& rows,
                        int32_t samples, const radial::ColumnSet& set, const float* const* bottom, int32_t begin,
                        int32_t end, float* out) {
    const int32_t width = source.width();
    int32_t x = set.first;
    if (x < begin) x += (begin - x + set.step - 1) / set.step * set.step;
    const float* upper[kMaxSamples];
    const float* lower[kMaxSamples];
    float fx[kMaxSamples];
    float edge[kMaxSamples][8];
    for (; x < std::min(end, set.end); x += set.step) {
        for (int32_t k = 0; k < samples; ++k) {
            const size_t at = static_cast<size_t>(k) * static_cast<size_t>(width) + static_cast<size_t>(x);
            const int32_t x0 = columns.x0[at];
            upper[k] = source.row(rows.top[k], band) + static_cast<size_t>(x0) * 4;
            if (x0 == width - 1 && !source.padded()) {
                std::memcpy(edge[k], upper[k], 4 * sizeof(float));
                std::memcpy(edge[k] + 4, upper[k], 4 * sizeof(float));
                upper[k] = edge[k];
            }
            fx[k] = columns.fx[at];
            lower[k] = bottom[k] + static_cast<size_t>(x - begin) * 4;
        }
        radial::meanWithUpperBaseFirst(upper, fx, lower, rows.fy, samples, out + static_cast<size_t>(x - begin) * 4);
    }
}

// A strip of output columns and whether its first column must wait for the
// next strip: the one to its left still reads it.
struct Strip {
    int32_t begin, end;
    bool holdFirst;
};

// Strips in the order they are done. Left of the centre a sample reads only
// columns at or right of its pixel (up to the centre column and the one after
// it); right of the centre only columns left of its pixel and the one after
// it. So the left strips go left to right, the right ones right to left
// (each holding back its first column, which the next one reads), and the
// strip holding the centre columns comes last: no strip reads a column an
// earlier one has written. Strips start at multiples of eight, as the column
// rules of the means count in groups of eight.
std::vector<Strip> stripOrder(int32_t width, float cx) {
    std::vector<Strip> strips;
    const int32_t centre = static_cast<int32_t>(cx);
    const int32_t middleBegin = centre / 8 * 8;
    const int32_t middleEnd = std::min(width, middleBegin + kStrip);
    for (int32_t begin = 0; begin < middleBegin; begin += kStrip) {
        strips.push_back(Strip{begin, std::min(middleBegin, begin + kStrip), false});
    }
    std::vector<Strip> right;
    for (int32_t begin = middleEnd; begin < width; begin += kStrip) {
        right.push_back(Strip{begin, std::min(width, begin + kStrip), true});
    }
    strips.insert(strips.end(), right.rbegin(), right.rend());
    strips.push_back(Strip{middleBegin, middleEnd, false});
    return strips;
}

// The rows any output row of the picture reads beyond itself, at most.
int32_t rowReach(int32_t height, float cy, const float* scales, int32_t samples) {
    const SampleRows first(height, 0, cy, scales, samples);
    const SampleRows last(height, height - 1, cy, scales, samples);
    int32_t reach = 0;
    for (int32_t k = 0; k < samples; ++k) {
        reach = std::max({reach, first.bottom[k], height - 1 - last.top[k]});
    }
    return reach + 2;
}

// When each of a band's output rows, done from the top down, may be written
// over its source row. Reading in place, every scale lies in [0, 1], so the
// rows each sample reads move down monotonically with the output row: once a
// row is done, the rows above the first one it reads are read by no later row.
// Reading a copy, a row is written as soon as it is done.
struct RowPlan {
    std::vector<int32_t> releases;  // after each row, how many waiting rows (oldest first) may be written
    int32_t mostWaiting = 1;
};

RowPlan planRows(Band band, bool inPlace, const std::vector<SampleRows>& bandRows, int32_t samples) {
    RowPlan plan;
    int32_t oldest = band.begin;
    for (int32_t y = band.begin; y < band.end; ++y) {
        const SampleRows& rows = bandRows[static_cast<size_t>(y - band.begin)];
        const int32_t firstRead = inPlace ? *std::min_element(rows.top, rows.top + samples) : y + 1;
        plan.mostWaiting = std::max(plan.mostWaiting, y + 1 - oldest);
        const int32_t release = y + 1 == band.end ? band.end : std::min(firstRead, y + 1);
        plan.releases.push_back(std::max(0, release - oldest));
        oldest = std::max(oldest, release);
    }
    return plan;
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

    float scales[kMaxSamples] = {};
    for (int32_t k = 0; k < samples; ++k) {
        scales[k] = 1.0f - (static_cast<float>(k) / static_cast<float>(samples - 1)) * strength;
    }

    const bool inPlace = scales[samples - 1] >= 0.0f;
    const Originals source(image, inPlace, rowReach(image.height, cy, scales, samples), bands);
    const SampleColumns columns(image.width, cx, scales, samples);
    const int32_t width = image.width;
    const radial::ColumnSet redo = radial::upperBaseFirst(width);
    const std::vector<Strip> strips = stripOrder(width, cx);
    bands.forEachBand(image.height, [&](Band band) {
        const size_t rowCount = static_cast<size_t>(band.end - band.begin);
        std::vector<SampleRows> bandRows;
        bandRows.reserve(rowCount);
        for (int32_t y = band.begin; y < band.end; ++y) bandRows.emplace_back(image.height, y, cy, scales, samples);
        const RowPlan plan = planRows(band, inPlace, bandRows, samples);
        MixedRows mixed(source, columns, samples, band);
        // Done rows of a strip waiting to be written, oldest first, in a ring.
        const size_t ringSize = static_cast<size_t>(plan.mostWaiting);
        const AlignedFloats ring(ringSize * kStrip * 4);
        // The first column of a strip that holds it back, and of the one before,
        // written once the strip after it is done.
        std::vector<Pixel> held(rowCount), heldBefore(rowCount);
        int32_t heldColumn = -1;
        auto writeHeld = [&]() {
            if (heldColumn < 0) return;
            for (int32_t y = band.begin; y < band.end; ++y) {
                image.at(heldColumn, y) = heldBefore[static_cast<size_t>(y - band.begin)];
            }
        };
        const float* top[kMaxSamples];
        const float* bottom[kMaxSamples];
        for (const Strip& strip : strips) {
            const int32_t begin = strip.begin, end = strip.end;
            const int32_t first = strip.holdFirst ? begin + 1 : begin;
            mixed.startStrip(begin, end);
            const std::pair<int32_t, int32_t> reach = columns.reach(samples, begin, end);
            auto prefetchRow = [&](int32_t y) {
                prefetchPixels(source.row(y, band) + static_cast<size_t>(reach.first) * 4, reach.second);
            };
            auto write = [&](int32_t y, const float* from) {
                std::memcpy(static_cast<void*>(&image.at(first, y)), from + static_cast<size_t>(first - begin) * 4,
                            static_cast<size_t>(end - first) * sizeof(Pixel));
                if (strip.holdFirst) {
                    std::memcpy(static_cast<void*>(&held[static_cast<size_t>(y - band.begin)]), from, sizeof(Pixel));
                }
            };
            int32_t written = band.begin;
            for (int32_t y = band.begin; y < band.end; ++y) {
                const size_t row = static_cast<size_t>(y - band.begin);
                const SampleRows& rows = bandRows[row];
                if (y + kAhead < band.end) {
                    // The rows that enter the samples' reach a few rows ahead, over
                    // every column any sample of the strip reads.
                    const SampleRows& ahead = bandRows[row + kAhead];
                    prefetchRow(ahead.bottom[0]);
                    prefetchRow(ahead.bottom[samples - 1]);
                }
                for (int32_t k = 0; k < samples; ++k) mixed.fetch(k, rows.top[k], rows.bottom[k], top[k], bottom[k]);
                float* out = ring.get() + row % ringSize * kStrip * 4;
                if (!source.zeros().anyClear()) {
                    radial::meanOfSamples(top, bottom, rows.fy, samples, begin, end - begin, width, out);
                } else {
                    meanSkippingClear(source.zeros(), columns, rows, samples, width, top, bottom, begin, end, out);
                }
                if (redo.first < end && redo.end > begin) {
                    redoUpperBaseFirst(source, band, columns, rows, samples, redo, bottom, begin, end, out);
                }
                for (int32_t n = 0; n < plan.releases[row]; ++n, ++written) {
                    write(written, ring.get() + static_cast<size_t>(written - band.begin) % ringSize * kStrip * 4);
                }
            }
            writeHeld();
            held.swap(heldBefore);
            heldColumn = strip.holdFirst ? begin : -1;
        }
        writeHeld();
    });
}

}  // namespace ormel
