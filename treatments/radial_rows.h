// The two halves of the radial blur's bilinear samples, a run of pixels at a
// time. A sample's horizontal mix depends only on its source row and the
// output column, so one mixed row serves every output row whose sample reads
// that source row (as the upper row of one and the lower row of the next);
// the vertical mix and the mean are then plain streams over mixed rows.
//
// Where two NaNs meet in an addition, x86 keeps the first operand's payload,
// so which operand comes first is part of the result, and it is kept column
// by column as the blur has always had it. A lerp adds its product first,
// then its base, except the upper mix of the columns in upperBaseFirst().
// With AVX2, in columns below the last multiple of eight whose place in
// their group of eight is 0 to 3, each sample comes before the running sum;
// everywhere else the sum comes first.
#pragma once

#include <cstdint>

namespace ormel {
namespace radial {

// out[i] = p + (q - p) * fx[i] on four channels, p the RGBA pixel at column
// x0[i] of row and q the pixel after it (the row carries one more pixel than
// any column asked for, so q is always there).
void mixColumns(const float* row, const int32_t* x0, const float* fx, int32_t count, float* out);

// For each of count pixels from column x (a multiple of eight) of a picture
// `width` wide: the sum in double, k = 0 first, of the vertical mixes
// t + (b - t) * fy[k], t and b the pixel in top[k] and bottom[k] (rows of
// mixed samples); divided by `samples` in double and rounded to float.
void meanOfSamples(const float* const* top, const float* const* bottom, const float* fy, int32_t samples,
                   int32_t x, int32_t count, int32_t width, float* out);

// Columns first, first + step, ... below end.
struct ColumnSet {
    int32_t first = 0;
    int32_t step = 1;
    int32_t end = 0;
};

// The columns of a picture `width` wide whose upper mixes add their base first.
ColumnSet upperBaseFirst(int32_t width);

// One pixel of such a column: as meanOfSamples, with each sample's upper mix
// made here from the source pixel pair at upper[k] and fraction fx[k], and
// lower[k] its mixed lower row at this pixel.
void meanWithUpperBaseFirst(const float* const* upper, const float* fx, const float* const* lower, const float* fy,
                            int32_t samples, float* out);

}  // namespace radial
}  // namespace ormel
