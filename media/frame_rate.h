// Frame rates as exact fractions, as containers store them: 29.97 fps is
// 30000/1001, never 2997/100, which no editing application calls broadcast.
#pragma once

#include <string>

namespace varnok {

struct FrameRate {
    int num = 0;
    int den = 1;
    bool valid() const { return num > 0 && den > 0; }
    double value() const { return valid() ? static_cast<double>(num) / den : 0.0; }
    // "30000/1001", for ffmpeg's options.
    std::string text() const { return std::to_string(num) + "/" + std::to_string(den); }
    // Frames per second a timecode counts (30 for 29.97).
    int timecodeBase() const;
    bool operator==(const FrameRate& o) const { return num == o.num && den == o.den; }
};

// "24", "30000/1001", "12.5", ffmpeg's names (ntsc, pal, film, ntsc-film) and
// the rates editors write with decimals: 23.976 (or 23.98), 29.97, 47.952,
// 59.94 and 119.88 mean the /1001 rates. Reduced; false when not a rate
// between 0 and 1000.
bool parseFrameRate(const std::string& text, FrameRate* out);

// The rate of a stream from what ffprobe reports: the exact r_frame_rate
// when the average agrees with it, else the average (variable-rate footage).
FrameRate streamFrameRate(const std::string& rFrameRate, const std::string& avgFrameRate);

}  // namespace varnok
