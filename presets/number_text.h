// Number <-> text conversions of the preset file, independent of the C locale
// (a host may switch LC_NUMERIC to one with a decimal comma).
#pragma once

#include <string>

namespace ormel {

// General notation, 6 significant digits, like "%.6g": 0.06, 90, 1e+06, 0.333333.
std::string formatPresetDouble(double v);

// Decimal integer as atoi reads it: leading white space, optional sign, digits up to
// the first non-digit; 0 when no digits. Values beyond int saturate instead of overflowing.
int parseLeadingInt(const std::string& text);

// Floating-point number as atof reads it (decimal, hexadecimal, inf, nan); 0 when
// the text does not start with a number.
double parseLeadingDouble(const std::string& text);

}  // namespace ormel
