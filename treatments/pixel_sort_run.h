// Writing one sorted run back: each pixel tinted by its brightness, mixed over
// the pixel it lands on.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/types.h"

namespace ormel {

// What every run of a pass shares: the tint colour and how much of it, both
// already clamped as the pass uses them.
struct RunTint {
    Pixel colour;
    float colourMix;
};

// `run` holds the run's n pixels as they were and `luminance` their
// luminances; the pixel at position m has the sorted place ranks[m], and the
// sorted run is rotated by `offset` (0 <= offset < n): it lands at place
// (ranks[m] - offset) mod n, which is pixel target[place * stride]. There it
// becomes the pixel it lands on moved toward its tinted self by `mix`.
// `payloadsMatter` is set when the run or the tint holds a NaN: the result
// then keeps the NaN payloads of a fixed operand order, else any order gives
// the same bits and the vector path is taken.
void writeSortedRun(const Pixel* run, const float* luminance, const int32_t* ranks, int32_t n, int32_t offset,
                    float mix, const RunTint& tint, bool payloadsMatter, Pixel* target, ptrdiff_t stride);

}  // namespace ormel
