// Which earlier frames one render uses: the `frames` times before t, oldest
// first, and of those only the ones inside the source clip's frame range.
// Hosts answer a fetch outside the range in their own ways (a refusal, or
// the first frame held), so a frame the clip does not have is a gap, as a
// missing frame is.
#pragma once

#include <cstdint>
#include <vector>

struct ClipFrameRange {
    bool known = false;   // the host gave a usable range
    double first = 0.0;
    double last = 0.0;
};

inline bool insideRange(const ClipFrameRange& range, double when) {
    return !range.known || (when >= range.first && when <= range.last);
}

inline std::vector<double> earlierFrameTimes(double t, int32_t frames, const ClipFrameRange& range) {
    std::vector<double> times;
    for (int32_t n = frames; n >= 1; --n)
        if (insideRange(range, t - n)) times.push_back(t - n);
    return times;
}
