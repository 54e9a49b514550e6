#include "presets/number_text.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace ormel {
namespace {

TEST(FormatPresetDouble, SixSignificantDigitsInGeneralNotation) {
    EXPECT_EQ(formatPresetDouble(0.06), "0.06");
    EXPECT_EQ(formatPresetDouble(90.0), "90");
    EXPECT_EQ(formatPresetDouble(500000.0), "500000");
    EXPECT_EQ(formatPresetDouble(1000000.0), "1e+06");
    EXPECT_EQ(formatPresetDouble(1.0 / 3.0), "0.333333");
    EXPECT_EQ(formatPresetDouble(0.123456789), "0.123457");
    EXPECT_EQ(formatPresetDouble(-18.5), "-18.5");
    // The exponent form starts below 1e-4.
    EXPECT_EQ(formatPresetDouble(0.0001), "0.0001");
    EXPECT_EQ(formatPresetDouble(0.00001), "1e-05");
    // Rounding to six digits can carry into a seventh and switch to exponent form.
    EXPECT_EQ(formatPresetDouble(999999.7), "1e+06");
    EXPECT_EQ(formatPresetDouble(1e123), "1e+123");
}

TEST(ParseLeadingInt, ReadsLikeAtoi) {
    EXPECT_EQ(parseLeadingInt("42"), 42);
    EXPECT_EQ(parseLeadingInt("  \t-7xyz"), -7);
    EXPECT_EQ(parseLeadingInt("+3"), 3);
    EXPECT_EQ(parseLeadingInt("12.9"), 12);
    EXPECT_EQ(parseLeadingInt("1\r"), 1);
    EXPECT_EQ(parseLeadingInt("abc"), 0);
    EXPECT_EQ(parseLeadingInt(""), 0);
    EXPECT_EQ(parseLeadingInt("- 5"), 0);
    EXPECT_EQ(parseLeadingInt("--5"), 0);
}

TEST(ParseLeadingInt, SaturatesInsteadOfOverflowing) {
    EXPECT_EQ(parseLeadingInt("2147483647"), std::numeric_limits<int>::max());
    EXPECT_EQ(parseLeadingInt("2147483648"), std::numeric_limits<int>::max());
    EXPECT_EQ(parseLeadingInt("-2147483648"), std::numeric_limits<int>::min());
    EXPECT_EQ(parseLeadingInt("-99999999999999999999999"), std::numeric_limits<int>::min());
    EXPECT_EQ(parseLeadingInt("99999999999999999999999"), std::numeric_limits<int>::max());
}

TEST(ParseLeadingDouble, ReadsLikeAtof) {
    EXPECT_EQ(parseLeadingDouble("1.2"), 1.2);
    EXPECT_EQ(parseLeadingDouble(" -0.5x"), -0.5);
    EXPECT_EQ(parseLeadingDouble("+.5"), 0.5);
    EXPECT_EQ(parseLeadingDouble("1e+06"), 1e6);
    EXPECT_EQ(parseLeadingDouble("3e"), 3.0);
    EXPECT_EQ(parseLeadingDouble("0.1\r"), 0.1);
    EXPECT_EQ(parseLeadingDouble("0x1p4"), 16.0);
    EXPECT_EQ(parseLeadingDouble("0x"), 0.0);
    EXPECT_EQ(parseLeadingDouble("abc"), 0.0);
    EXPECT_EQ(parseLeadingDouble(""), 0.0);
    EXPECT_EQ(parseLeadingDouble("+-1"), 0.0);
}

TEST(ParseLeadingDouble, SpecialAndOutOfRangeValues) {
    EXPECT_TRUE(std::isnan(parseLeadingDouble("nan")));
    EXPECT_EQ(parseLeadingDouble("-inf"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(parseLeadingDouble("1e999"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(parseLeadingDouble("-1e999"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(parseLeadingDouble("1e-999"), 0.0);
}

// After "0x" atof wants hexadecimal digits; anything else ends the number at
// the leading 0, so no sign, nan or inf may follow the prefix.
TEST(ParseLeadingDoubleRules, HexPrefixWithoutHexDigitsReadsTheLeadingZero) {
    EXPECT_EQ(parseLeadingDouble("0x-2"), 0.0);
    EXPECT_EQ(parseLeadingDouble("0X-A1"), 0.0);
    EXPECT_EQ(parseLeadingDouble("0x+8"), 0.0);
    EXPECT_EQ(parseLeadingDouble("0xnan"), 0.0);
    EXPECT_EQ(parseLeadingDouble("0xinf"), 0.0);
    EXPECT_EQ(parseLeadingDouble("0x.p1"), 0.0);
    EXPECT_EQ(parseLeadingDouble("0x.8"), 0.5);
    EXPECT_EQ(parseLeadingDouble("-0x1.8p1"), -3.0);
}

// Text that is not a number loads as 0 and saves back as "0", whatever sign
// stands in front of it; a real negative zero keeps its sign.
TEST(ParseLeadingDoubleRules, NoNumberAfterASignGivesPositiveZero) {
    for (const char* text : {"-", "-x", " -abc", "-.", "-e5", "- 1"}) {
        const double v = parseLeadingDouble(text);
        EXPECT_EQ(v, 0.0) << text;
        EXPECT_FALSE(std::signbit(v)) << text;
        EXPECT_EQ(formatPresetDouble(v), "0") << text;
    }
    EXPECT_TRUE(std::signbit(parseLeadingDouble("-0")));
    EXPECT_TRUE(std::signbit(parseLeadingDouble("-0x")));
}

}  // namespace
}  // namespace ormel
