#include "media/frame_rate.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numeric>

namespace varnok {

namespace {

bool fromParts(long long num, long long den, FrameRate* out) {
    if (num <= 0 || den <= 0) return false;
    const long long g = std::gcd(num, den);
    num /= g;
    den /= g;
    if (num > 1000LL * den || num > INT32_MAX || den > INT32_MAX) return false;
    out->num = static_cast<int>(num);
    out->den = static_cast<int>(den);
    return true;
}

bool digitsOnly(const std::string& s) {
    if (s.empty() || s.size() > 12) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

int FrameRate::timecodeBase() const {
    return valid() ? static_cast<int>(std::lround(value())) : 0;
}

bool parseFrameRate(const std::string& text, FrameRate* out) {
    struct Named {
        const char* name;
        int num, den;
    };
    static const Named names[] = {{"23.976", 24000, 1001}, {"23.98", 24000, 1001}, {"29.97", 30000, 1001},
                                  {"47.952", 48000, 1001}, {"59.94", 60000, 1001}, {"119.88", 120000, 1001},
                                  {"ntsc", 30000, 1001},  {"pal", 25, 1},         {"film", 24, 1},
                                  {"ntsc-film", 24000, 1001}};
    for (const Named& n : names)
        if (text == n.name) return fromParts(n.num, n.den, out);
    const size_t slash = text.find('/');
    if (slash != std::string::npos) {
        const std::string a = text.substr(0, slash), b = text.substr(slash + 1);
        return digitsOnly(a) && digitsOnly(b) && fromParts(std::atoll(a.c_str()), std::atoll(b.c_str()), out);
    }
    // A decimal, exactly: 12.5 is 125/10.
    const size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    if (!digitsOnly(whole) || (dot != std::string::npos && (!digitsOnly(fraction) || fraction.size() > 6)))
        return false;
    long long den = 1;
    for (size_t i = 0; i < fraction.size(); ++i) den *= 10;
    return fromParts(std::atoll(whole.c_str()) * den + (fraction.empty() ? 0 : std::atoll(fraction.c_str())), den,
                     out);
}

FrameRate streamFrameRate(const std::string& rFrameRate, const std::string& avgFrameRate) {
    FrameRate r, avg;
    const bool haveR = parseFrameRate(rFrameRate, &r);
    const bool haveAvg = parseFrameRate(avgFrameRate, &avg);
    if (haveR && (!haveAvg || std::fabs(avg.value() - r.value()) <= 1e-3 * r.value())) return r;
    if (haveAvg) return avg;
    return FrameRate{24, 1};
}

}  // namespace varnok
