// Where a round mark can reach on one row: the helpers that narrow a row of
// a mark's bounding box to the pixels it may cover, with slack for rounding.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "overlay/stroke_row.h"

namespace ormel {

constexpr float kSpanSlack = 0.1f;

// Past this distance from the origin r * r - dy * dy (and the band's a.x +
// from) round by more than the slack, so rows are not narrowed there.
constexpr float kExactChordLimit = 1.0e6f;

// The same for the narrowing without a spare pixel: the chord's and the
// pixels' own rounding (a few units in the last place, 2^-9 px here) must
// stay well inside the slack.
constexpr float kTightChordLimit = 16384.0f;

using Span = RowSpan;

// Narrows `span` to the pixels whose centres lie in [left, right], with one
// pixel of slack for rounding. NaN bounds leave the span as it is, since the
// per-pixel test decides anyway; returns false when nothing is left (an empty
// interval has left > right). drawDisk keeps this narrowing: its rows are
// split into runs of four pixels and single pixels from the span's first
// pixel on, and with a NaN colour over a NaN pixel the two keep different
// NaNs, so the span must start where it always has.
inline bool narrowSpan(float left, float right, Span& span) {
    if (std::isnan(left) || std::isnan(right)) return true;
    if (left > right) return false;
    const float first = std::floor(left - 0.5f) - 1.0f;
    const float last = std::ceil(right - 0.5f) + 1.0f;
    if (last < static_cast<float>(span.lo) || first > static_cast<float>(span.hi)) return false;
    if (first > static_cast<float>(span.lo)) span.lo = static_cast<int32_t>(first);
    if (last < static_cast<float>(span.hi)) span.hi = static_cast<int32_t>(last);
    return span.lo <= span.hi;
}

// narrowSpan without the spare pixel on each side, for chords from
// addDiskChord(..., tight) and the bands of strokes: their reach already
// holds the slack, and a pixel beyond it cannot be covered.
inline bool hugSpan(float left, float right, Span& span) {
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
// the horizontal line y = py; `tight` for chords narrowed by hugSpan.
inline void addDiskChord(float cx, float cy, float r, float py, float& lo, float& hi, bool tight = false) {
    const float limit = tight ? kTightChordLimit : kExactChordLimit;
    if (std::fabs(cx) >= limit || std::fabs(cy) >= limit || r >= limit || (tight && std::fabs(py) >= limit)) {
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
