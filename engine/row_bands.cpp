#include "engine/row_bands.h"

#include <algorithm>

namespace ormel {

void RowBands::forEachBand(int32_t lines, const std::function<void(Band)>& work) const {
    if (lines < 1) return;
    const int32_t count = std::min(std::max(bands, 1), lines);
    // Band i starts at floor(i * lines / count): sizes differ by at most one line.
    auto bandAt = [lines, count](int32_t i) {
        const int64_t n = lines;
        return Band{static_cast<int32_t>(n * i / count), static_cast<int32_t>(n * (i + 1) / count)};
    };
    if (count == 1 || !runJobs) {
        for (int32_t i = 0; i < count; ++i) work(bandAt(i));
        return;
    }
    runJobs(count, [&](int32_t i) {
        if (i >= 0 && i < count) work(bandAt(i));
    });
}

const RowBands& RowBands::single() {
    static const RowBands one;
    return one;
}

}  // namespace ormel
