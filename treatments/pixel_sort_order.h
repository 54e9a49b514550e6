// The order of one pixel-sort run: the sorted place of each position.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace ormel {

// A luminance as a 32-bit integer whose signed order is the sort order: NaN
// below every number (all NaNs equal), -0 equal to +0. Its complement (~key)
// is the reverse order, with the same ties. Written with selects only, so a
// loop over a run can be vectorised.
inline int32_t luminanceOrderKey(float luminance) {
    int32_t bits;
    std::memcpy(&bits, &luminance, sizeof bits);
    // Positive numbers keep their pattern's order; negative ones reverse it and
    // stay below zero. No number reaches INT32_MIN, the NaN key.
    const int32_t ordered = bits < 0 ? static_cast<int32_t>(~static_cast<uint32_t>(bits) | 0x80000000u) : bits;
    const int32_t number = luminance == 0.0f ? 0 : ordered;  // -0 sorts with +0
    return luminance != luminance ? INT32_MIN : number;
}

// Working memory for ordering runs, kept across runs so none allocates once warm.
struct RunOrder {
    std::vector<int32_t> keys;   // the run's keys, written through runKeys
    std::vector<int32_t> ranks;  // ranks[m]: the place of position m's key in sorted order
    std::vector<uint64_t> words;
    std::vector<uint64_t> spare;
};

// Room for n keys; the caller writes keys[0 .. n) before rankRun.
int32_t* runKeys(RunOrder& run, int32_t n);

// A stable ascending sort of the n keys: fills ranks[0 .. n), equal keys
// ranked in the order of their positions.
void rankRun(RunOrder& run, int32_t n);

}  // namespace ormel
