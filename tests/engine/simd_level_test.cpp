// The processor level: the override may only lower it, and the level in use
// is the one asked for wherever the machine has it.
#include "engine/simd_level.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace ormel {
namespace {

constexpr SimdLevel kLevels[] = {SimdLevel::scalar, SimdLevel::sse2, SimdLevel::avx2, SimdLevel::avx512};
constexpr const char* kNames[] = {"scalar", "sse2", "avx2", "avx512"};

TEST(SimdLevel, TheOverrideOnlyLowersAndIgnoresWhatItDoesNotKnow) {
    const char* unknown[] = {"", "AVX2", "avx", "sse4", "avx512 ", " scalar", "none", "0", "avx512f"};
    for (SimdLevel machine : kLevels) {
        SCOPED_TRACE(simdLevelName(machine));
        EXPECT_EQ(requestedSimdLevel(machine, nullptr), machine);
        for (const char* request : unknown) EXPECT_EQ(requestedSimdLevel(machine, request), machine) << request;
        for (int i = 0; i < 4; ++i) {
            const SimdLevel expected = kLevels[i] < machine ? kLevels[i] : machine;
            EXPECT_EQ(requestedSimdLevel(machine, kNames[i]), expected) << kNames[i];
            EXPECT_STREQ(simdLevelName(kLevels[i]), kNames[i]);
        }
    }
}

// Under simd_run (the registrations at every level) this checks that the
// level asked for is the one the vector paths see.
TEST(SimdLevel, RunsAtTheLevelAskedForWhereTheMachineHasIt) {
    const char* asked = std::getenv("VARNOK_SIMD");
    std::printf("level in use: %s, machine: %s, VARNOK_SIMD: %s\n", simdLevelName(),
                simdLevelName(machineSimdLevel()), asked ? asked : "(unset)");
    SimdLevel level;
    if (parseSimdLevel(asked, &level) && level <= machineSimdLevel()) {
        EXPECT_STREQ(simdLevelName(), asked);
    } else {
        EXPECT_EQ(simdLevel(), machineSimdLevel());
    }
}

}  // namespace
}  // namespace ormel
