#include "treatments/radial_source.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

namespace ormel {
namespace radial {
namespace {

// A chunk is clear only when every bit of it is zero: one set bit anywhere in
// its 64 pixels (first line, middle, last pixel, a -0 or the smallest
// denormal alone) keeps it from being clear, and only that chunk.
TEST(RadialClearChunks, ASetBitAnywhereInAChunkKeepsItFromBeingClear) {
    constexpr int32_t kWidth = 200;  // three whole chunks and one of eight pixels
    const uint32_t patterns[] = {0x80000000u, 0x00000001u, 0x3f800000u};
    for (int32_t column : {0, 3, 4, 15, 16, 40, 63, 64, 130, 191, 192, 199}) {
        for (int32_t channel = 0; channel < 4; ++channel) {
            for (uint32_t bits : patterns) {
                std::vector<float> rows(static_cast<size_t>(kWidth) * 4 * 2, 0.0f);
                std::memcpy(&rows[static_cast<size_t>(kWidth + column) * 4 + static_cast<size_t>(channel)], &bits,
                            sizeof bits);
                ClearChunks zeros(kWidth, 2);
                zeros.scan(rows.data(), kWidth, 0);
                zeros.scan(rows.data() + static_cast<size_t>(kWidth) * 4, kWidth, 1);
                zeros.finish();
                EXPECT_TRUE(zeros.anyClear());
                for (int32_t chunk = 0; chunk * ClearChunks::kChunk < kWidth; ++chunk) {
                    const int32_t lo = chunk * ClearChunks::kChunk;
                    const int32_t hi = std::min(kWidth, lo + ClearChunks::kChunk) - 1;
                    EXPECT_TRUE(zeros.clear(0, lo, hi));
                    EXPECT_EQ(zeros.clear(1, lo, hi), column / ClearChunks::kChunk != chunk)
                        << "column " << column << " channel " << channel << " bits " << bits << " chunk " << chunk;
                }
            }
        }
    }
}

TEST(RadialClearChunks, NoClearChunkAnywhereIsReported) {
    constexpr int32_t kWidth = 130;
    std::vector<float> row(static_cast<size_t>(kWidth) * 4, 0.0f);
    for (int32_t chunk = 0; chunk * ClearChunks::kChunk < kWidth; ++chunk) {
        // Past each chunk's first line where the chunk reaches that far.
        const int32_t column = std::min(chunk * ClearChunks::kChunk + 20, kWidth - 1);
        row[static_cast<size_t>(column) * 4 + 2] = 0.5f;
    }
    ClearChunks zeros(kWidth, 1);
    zeros.scan(row.data(), kWidth, 0);
    zeros.finish();
    EXPECT_FALSE(zeros.anyClear());
}

}  // namespace
}  // namespace radial
}  // namespace ormel
