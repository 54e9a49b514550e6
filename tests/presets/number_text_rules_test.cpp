// Number reading as atof does it, in the corners where a library parser is
// more lenient than atof.
#include "presets/number_text.h"

#include <cmath>

#include <gtest/gtest.h>

namespace ormel {
namespace {

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
