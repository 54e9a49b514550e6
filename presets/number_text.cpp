#include "presets/number_text.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <locale>
#include <sstream>

// libstdc++ before GCC 11 (the Debian 11 release build) has no floating-point
// from_chars; strtod in the "C" locale reads the same numbers to the same bits.
#if !defined(__cpp_lib_to_chars)
#include <locale.h>
#include <stdlib.h>
#endif

namespace ormel {
namespace {

// White space as the "C" locale's isspace sees it.
bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// What atof accepts after "0x": hexadecimal digits, or a point and then one.
// from_chars would also take a sign, nan or inf there.
bool startsHexMantissa(const char* p, const char* end) {
    if (p == end) return false;
    if (isHexDigit(*p)) return true;
    return *p == '.' && p + 1 != end && isHexDigit(p[1]);
}

// Skips white space and one sign; returns true for a minus.
bool skipSpaceAndSign(const char*& p, const char* end) {
    while (p != end && isCSpace(*p)) ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    return negative;
}

#if defined(__cpp_lib_to_chars)
// from_chars leaves the value alone when it is out of range; strtod gives
// +-HUGE_VAL or 0 there, decided by the sign of the exponent.
double outOfRangeValue(const char* first, const char* last, char exponentMark) {
    for (const char* p = first; p != last; ++p) {
        if (*p == exponentMark || *p == (exponentMark - 'a' + 'A')) {
            if (p + 1 != last && p[1] == '-') return 0.0;
            return std::numeric_limits<double>::infinity();
        }
    }
    // No exponent means a huge digit string.
    return std::numeric_limits<double>::infinity();
}

// The unsigned number at [p, end) in decimal (or, with `hex`, the hexadecimal
// digits after "0x" at p); false when none starts there.
bool readUnsignedDouble(const char* p, const char* end, bool hex, double* value) {
    if (hex) {
        const auto res = std::from_chars(p + 2, end, *value, std::chars_format::hex);
        if (res.ec == std::errc::result_out_of_range) *value = outOfRangeValue(p + 2, res.ptr, 'p');
        return res.ec == std::errc() || res.ec == std::errc::result_out_of_range;
    }
    const auto res = std::from_chars(p, end, *value, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) *value = outOfRangeValue(p, res.ptr, 'e');
    return res.ec == std::errc() || res.ec == std::errc::result_out_of_range;
}
#else
// Same contract through strtod_l, which reads the "0x" itself and gives
// +-HUGE_VAL or 0 out of range, as above. `p` always lies within a
// NUL-terminated std::string, and strtod's own leading white space and sign
// are ruled out first (they were consumed once already).
bool readUnsignedDouble(const char* p, const char* end, bool hex, double* value) {
    (void)hex;
    if (p == end || isCSpace(*p) || *p == '+' || *p == '-') return false;
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t());
    char* stop = nullptr;
    const double v = strtod_l(p, &stop, cLocale);
    if (stop == p) return false;
    *value = v;
    return true;
}
#endif

}  // namespace

std::string formatPresetDouble(double v) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(6);
    out << v;
    return out.str();
}

int parseLeadingInt(const std::string& text) {
    const char* p = text.data();
    const char* end = p + text.size();
    const bool negative = skipSpaceAndSign(p, end);
    // Accumulate the magnitude with a ceiling just past int's range.
    const int64_t ceiling = static_cast<int64_t>(std::numeric_limits<int>::max()) + 1;
    int64_t magnitude = 0;
    for (; p != end && isDigit(*p); ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > ceiling) magnitude = ceiling;
    }
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

double parseLeadingDouble(const std::string& text) {
    const char* p = text.data();
    const char* end = p + text.size();
    const bool negative = skipSpaceAndSign(p, end);
    double value = 0.0;
    if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        // "0x" with no hexadecimal digits after it reads as the leading 0.
        if (startsHexMantissa(p + 2, end) && !readUnsignedDouble(p, end, true, &value)) value = 0.0;
    } else if (p != end && (*p == '+' || *p == '-')) {
        return 0.0;  // a second sign is not a number
    } else if (!readUnsignedDouble(p, end, false, &value)) {
        return 0.0;  // no number at all: plain 0, not a signed zero from the sign in front
    }
    return negative ? -value : value;
}

}  // namespace ormel
