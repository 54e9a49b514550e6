// Float RGBA frames to the planar 8-bit 4:2:0 YUV that the H.264 and VP9
// encoders take, so that ffmpeg encodes what it is given without converting.
// The footage's own matrix (BT.601, BT.709 or BT.2020) at video range
// (16..235, chroma 16..240) or full range; each chroma sample is the mean of
// its 2 x 2 block of pixels, centred among them as ffmpeg's own conversion
// places it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace varnok {

// A frame's planes: Y at full size, then U and V at half size each way, the
// size rounded up to even (4:2:0 needs even sizes).
struct Yuv420Layout {
    int width = 0, height = 0;  // even
    size_t lumaBytes = 0, chromaBytes = 0;
    size_t totalBytes() const { return lumaBytes + 2 * chromaBytes; }
};
Yuv420Layout yuv420Layout(int width, int height);

// Y, Cb and Cr as offset + r * red + g * green + b * blue on samples in 0..1,
// in 8-bit units.
struct YuvCoefficients {
    float yOffset, yr, yg, yb;
    float ur, ug, ub;
    float vr, vg, vb;
};
// From the matrix's red and blue weights (0.299 and 0.114 for BT.601),
// rounded to thousandths as the standards publish them, so BT.601 gives
// exactly the published table (65.481, 128.553, 24.966...).
YuvCoefficients yuvCoefficients(double kr, double kb, bool fullRange);
YuvCoefficients bt601VideoRange();

// Chroma rows [row0, row1) of `frame` (laid out as yuv420Layout says) and the
// two luma rows each covers, from the width x height RGBA pixels. Samples are
// clamped to 0..1 (NaN to 0) and rounded half up; the padding to even sizes is
// black. Rows are independent, so bands of them can be packed side by side.
void packYuv420Rows(const float* rgba, int width, int height, int row0, int row1, uint8_t* frame,
                    const YuvCoefficients& k = bt601VideoRange());
// The alpha plane of yuva420p (full size, after the chroma planes) for the
// luma rows of chroma rows [row0, row1): alpha clamped and rounded as the
// samples are, the padding opaque like the black it covers.
void packAlphaRows(const float* rgba, int width, int height, int row0, int row1, uint8_t* plane);

}  // namespace varnok
