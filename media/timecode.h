// SMPTE timecodes, counted in frames: "HH:MM:SS:FF", or "HH:MM:SS;FF" for
// drop-frame at 29.97 and 59.94 fps (numbers 00 and 01 - 00 to 03 at 59.94 -
// are skipped at the start of every minute except every tenth).
#pragma once

#include <cstdint>
#include <string>

#include "media/frame_rate.h"

namespace varnok {

struct Timecode {
    int base = 0;            // frames per timecode second (30 at 29.97 fps)
    bool dropFrame = false;
    long long frame = 0;     // frames since 00:00:00:00, within a day
    bool valid() const { return base > 0; }
};

// False (with `*error`) when the text is not a timecode at this rate.
bool parseTimecode(const std::string& text, const FrameRate& rate, Timecode* out, std::string* error);
std::string formatTimecode(const Timecode& tc);
// `frames` later (earlier when negative), wrapping at 24 hours as decks do.
Timecode shiftTimecode(const Timecode& tc, long long frames);
// The time-and-flags word of SMPTE 12M in binary-coded decimal, as EXR's
// timeCode and DPX's time code fields hold it.
uint32_t smpteTimeWord(const Timecode& tc);

}  // namespace varnok
