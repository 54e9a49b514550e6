// Where a round mark can reach on one row: the helpers that narrow a row of
// a mark's bounding box to the pixels it may cover, with slack for rounding.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "overlay/stroke_row.h"

namespace ormel {

constexpr float kSpanSlack = 0.1f;

// Past this distance from the origin the chord's and the pixels' own
// rounding (a few units in the last place, 2^-9 px here) could come near the
// slack, so rows are not narrowed there.
constexpr float kExactChordLimit = 16384.0f;

using Span = RowSpan;

// Narrows `span` to the pixels whose centres lie in [left, right]; the
// callers' reach already holds the slack for rounding, and a pixel beyond it
// cannot be covered. NaN bounds leave the span as it is, since the per-pixel
// test decides anyway; returns false when nothing is left (an empty interval
// has left > right).
inline bool narrowSpan(float left, float right, Span& span) {
    if (std::isnan(left) || std::isnan(right)) return true;
    if (left > right) return false;
    const float first = std::ceil(left - 0.5f);
    const float last = std::floor(right - 0.5f);
    if (last < static_cast<float>(span.lo) || first > static_cast<float>(span.hi)) return false;
    if (first > static_cast<float>(span.lo)) span.lo = static_cast<int32_t>(first);
    if (last < static_cast<float>(span.hi)) span.hi = static_cast<int32_t>(last);
    return span.lo <= span.hi;
}

// Grows [lo, hi] by the x interval a disk of radius r about (cx, cy) covers on
// the horizontal line y = py.
inline void addDiskChord(float cx, float cy, float r, float py, float& lo, float& hi) {
    if (std::fabs(cx) >= kExactChordLimit || std::fabs(cy) >= kExactChordLimit || r >= kExactChordLimit ||
        std::fabs(py) >= kExactChordLimit) {
        lo = -INFINITY;
        hi = INFINITY;
        return;
    }
    const float dy = py - cy;
    const float rest = r * r - dy * dy;
    if (!(rest > 0.0f)) return;
    const float half = std::sqrt(rest);
    lo = std::min(lo, cx - half);
    hi = std::max(hi, cx + half);
}

}  // namespace ormel
