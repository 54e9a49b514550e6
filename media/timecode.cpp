#include "media/timecode.h"

#include <cstdio>

namespace varnok {

namespace {

long long framesPerDay(const Timecode& tc) {
    const long long plain = 24LL * 3600 * tc.base;
    if (!tc.dropFrame) return plain;
    const int drop = tc.base / 15;
    return plain - 24LL * 6 * 9 * drop;   // 9 minutes in every 10 skip `drop` numbers
}

struct Fields {
    int h, m, s, f;
};

Fields fieldsOf(const Timecode& tc) {
    long long n = tc.frame;
    if (tc.dropFrame) {
        // Back to the count the numbering would have without the skipped numbers.
        const int drop = tc.base / 15;
        const long long per10 = 600LL * tc.base - 9LL * drop, perMinute = 60LL * tc.base - drop;
        const long long tens = n / per10, rest = n % per10;
        n += 9LL * drop * tens + (rest > drop ? drop * ((rest - drop) / perMinute) : 0);
    }
    Fields x;
    x.f = static_cast<int>(n % tc.base);
    const long long seconds = n / tc.base;
    x.s = static_cast<int>(seconds % 60);
    x.m = static_cast<int>(seconds / 60 % 60);
    x.h = static_cast<int>(seconds / 3600 % 24);
    return x;
}

}  // namespace

bool parseTimecode(const std::string& text, const FrameRate& rate, Timecode* out, std::string* error) {
    int h = 0, m = 0, s = 0, f = 0, used = 0;
    char sep = 0;
    const bool shaped = text.size() == 11 &&
                        std::sscanf(text.c_str(), "%2d:%2d:%2d%c%2d%n", &h, &m, &s, &sep, &f, &used) == 5 &&
                        used == 11 && (sep == ':' || sep == ';') && text[2] == ':' && text[5] == ':';
    Timecode tc;
    tc.base = rate.timecodeBase();
    tc.dropFrame = sep == ';';
    if (!shaped || h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59 || f < 0 || f >= tc.base) {
        *error = "timecode \"" + text + "\" is not HH:MM:SS:FF at " + rate.text() + " fps";
        return false;
    }
    if (tc.dropFrame && !(rate.den == 1001 && (tc.base == 30 || tc.base == 60))) {
        *error = "drop-frame timecode \"" + text + "\" needs 29.97 or 59.94 fps, not " + rate.text();
        return false;
    }
    const long long minutes = 60LL * h + m;
    tc.frame = (3600LL * h + 60LL * m + s) * tc.base + f;
    if (tc.dropFrame) {
        const int drop = tc.base / 15;
        if (m % 10 != 0 && s == 0 && f < drop) {
            *error = "timecode \"" + text + "\" names a frame number drop-frame skips";
            return false;
        }
        tc.frame -= drop * (minutes - minutes / 10);
    }
    *out = tc;
    return true;
}

std::string formatTimecode(const Timecode& tc) {
    if (!tc.valid()) return std::string();
    const Fields x = fieldsOf(tc);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d%c%02d", x.h, x.m, x.s, tc.dropFrame ? ';' : ':', x.f);
    return buf;
}

Timecode shiftTimecode(const Timecode& tc, long long frames) {
    Timecode out = tc;
    if (!tc.valid()) return out;
    const long long day = framesPerDay(tc);
    out.frame = ((tc.frame + frames) % day + day) % day;
    return out;
}

uint32_t smpteTimeWord(const Timecode& tc) {
    if (!tc.valid()) return 0;
    const Fields x = fieldsOf(tc);
    // Above 30 fps the frame field counts frame pairs.
    const int f = tc.base > 30 ? x.f / 2 : x.f;
    auto bcd = [](int v) { return static_cast<uint32_t>((v / 10) << 4 | (v % 10)); };
    return bcd(f) | (tc.dropFrame ? 1u << 6 : 0u) | bcd(x.s) << 8 | bcd(x.m) << 16 | bcd(x.h) << 24;
}

}  // namespace varnok
