// The most earlier frames one render may fetch: the range of `temporalFrames`.
#pragma once

#include <algorithm>
#include <cstdint>

constexpr int32_t kMaxTemporalFrames = 64;

inline int32_t clampTemporalFrames(int32_t n) { return std::clamp<int32_t>(n, 0, kMaxTemporalFrames); }
