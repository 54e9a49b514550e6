// The vector packing must give, for every float and at every length, the
// integers of the plain rounding rule: clamp to 0..1 with NaN to 0, scale in
// float, round halves up.
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "media/unit_samples.h"

namespace {

// What the rule gives, computed another way: the float product, then the
// nearest integer with halves up, from the exact value.
unsigned expected(float v, float scale) {
    if (std::isnan(v) || v <= 0.0f) return 0;
    const float p = (v < 1.0f ? v : 1.0f) * scale;
    const double f = std::floor(static_cast<double>(p));
    return static_cast<unsigned>(static_cast<double>(p) - f >= 0.5 ? f + 1 : f);
}

// Values that trip a float addition or a nearest-even conversion: the floats
// either side of every k + 1/2 after scaling, exact halves, tiny and huge
// values, infinities, NaNs and negative zero.
std::vector<float> trickyValues(float scale, int step) {
    std::vector<float> v = {0.0f, -0.0f, 1.0f, 2.0f, -1.0f, 1e-30f, 1e-45f, 0.99999994f,
                            std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN()};
    for (int k = 0; k < static_cast<int>(scale); k += step) {
        const float half = (static_cast<float>(k) + 0.5f) / scale;
        v.push_back(half);
        v.push_back(std::nextafter(half, 0.0f));
        v.push_back(std::nextafter(half, 2.0f));
        v.push_back(static_cast<float>(k) / scale);
    }
    v.push_back(0.49999997f / scale);
    return v;
}

TEST(UnitSamples, SixteenBitFollowsTheRuleAtEveryLengthAndValue) {
    const std::vector<float> values = trickyValues(65535.0f, 97);
    for (size_t n = 0; n <= 19; ++n) {
        for (size_t offset = 0; offset < values.size(); offset += 11) {
            std::vector<float> in(n);
            for (size_t i = 0; i < n; ++i) in[i] = values[(offset + i * 13) % values.size()];
            std::vector<uint16_t> out(n + 1, 0xBEEF);
            varnok::packUnit16(in.data(), n, out.data());
            for (size_t i = 0; i < n; ++i) ASSERT_EQ(out[i], expected(in[i], 65535.0f)) << "value " << in[i];
            ASSERT_EQ(out[n], 0xBEEF);
        }
    }
}

}  // namespace
