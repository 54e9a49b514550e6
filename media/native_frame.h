// A decoded frame kept in the sample type it came in, so a history of
// earlier frames costs what the footage costs, not four floats per channel.
#pragma once

#include <cstdint>
#include <vector>

#include "host/ofx_host.h"

namespace varnok {

enum class SampleType { U8, U16, Half, Float };

struct NativeFrame {
    int width = 0;
    int height = 0;
    int channels = 0;       // 1 grey, 2 grey+alpha, 3 RGB, 4 RGBA (more: the first four)
    SampleType type = SampleType::U8;
    std::vector<uint8_t> data;   // rows top to bottom as the file stores them, packed

    size_t bytes() const { return data.size(); }
};

int sampleBytes(SampleType t);
// Float RGBA; row 0 is the file's first row. Grey fills r, g and b; a missing
// alpha is 1.
ofxhost::FloatImage toFloatRgba(const NativeFrame& frame);
// The same into `out`, reusing its memory; false (and `out` empty) when the
// frame is unusable.
bool toFloatRgba(const NativeFrame& frame, ofxhost::FloatImage* out);

}  // namespace varnok
