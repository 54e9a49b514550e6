#include "overlay/hash.h"

#include <gtest/gtest.h>

#include <limits>

namespace ormel {
namespace {

TEST(Hash01, FixedValuesFromTheMixingSteps) {
    // All inputs 0: k stays 0 through every xor-shift and multiply.
    EXPECT_EQ(hash01(0, 0, 0, 0), 0.0f);
    // (0, 0, 0, 1):
    //   k = 1;                  k ^= k >> 16 -> 0x00000001
    //   k *= 0x7FEB352D      -> 0x7FEB352D
    //   k ^= k >> 15 (0xFFD6) -> 0x7FEBCAFB
    //   k *= 0x846CA68B      -> 0x6889F849 (mod 2^32)
    //   k ^= k >> 16 (0x6889) -> 0x688990C0
    //   low 24 bits 0x8990C0 = 9015488, / 2^24
    EXPECT_EQ(hash01(0, 0, 0, 1), 9015488.0f / 16777216.0f);
    // (1, 0, 0, 0): k = 0x165667B1; ^>>16 -> 0x165671E7; *0x7FEB352D -> 0xFAD3D89B;
    //   ^>>15 -> 0xFAD22D3C; *0x846CA68B -> 0x7EC37794; ^>>16 -> 0x7EC30957; low 24 bits 0xC30957.
    EXPECT_EQ(hash01(1, 0, 0, 0), 12781911.0f / 16777216.0f);
    // Negative inputs are their 32-bit patterns: -1 is 0xFFFFFFFF.
    EXPECT_EQ(hash01(-1, 0, 0, 0), 10694936.0f / 16777216.0f);
}

TEST(Hash01, SeedSumsWrapAndResultStaysBelowOne) {
    const int32_t big = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(seedPlus(big, 1), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(seedPlus(big, 503), std::numeric_limits<int32_t>::min() + 502);
    EXPECT_EQ(hash01(0, 0, 0, seedPlus(big, 1)), 4931876.0f / 16777216.0f);
    for (int32_t i = -500; i < 500; ++i) {
        const float v = hash01(i, i * 7, i ^ 0x5555, seedPlus(big, i));
        ASSERT_GE(v, 0.0f);
        ASSERT_LT(v, 1.0f);
    }
}

}  // namespace
}  // namespace ormel
