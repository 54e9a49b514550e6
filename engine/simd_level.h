// The widest vector instruction set the effect's loops may use in this
// process: what the processor offers, lowered on request by the environment
// variable VARNOK_SIMD (scalar, sse2, avx2 or avx512), so that every path can
// be run and compared on one machine. Every level gives the same bits; only
// the speed differs.
#pragma once

namespace ormel {

enum class SimdLevel : int {
    scalar = 0,
    sse2 = 1,
    avx2 = 2,    // AVX and AVX2
    avx512 = 3,  // AVX-512 F and VL, besides AVX2
};

// What this processor and operating system support.
SimdLevel machineSimdLevel();

// The level a name stands for; false for anything else.
bool parseSimdLevel(const char* name, SimdLevel* level);

// The machine's level lowered by `request` (a level's name): a request for a
// higher level, an unknown name or none leaves it as it is.
SimdLevel requestedSimdLevel(SimdLevel machine, const char* request);

// Decided once, on first use, from the machine and VARNOK_SIMD.
SimdLevel chooseSimdLevel();

// The level in use. The choice is made once per process and never changes,
// so the vector paths may be picked per row or per run at the cost of a load.
inline SimdLevel simdLevel() {
    static const SimdLevel level = chooseSimdLevel();
    return level;
}

inline bool simdAtLeast(SimdLevel wanted) { return simdLevel() >= wanted; }

// "scalar", "sse2", "avx2" or "avx512".
const char* simdLevelName(SimdLevel level);
// The name of the level in use.
const char* simdLevelName();

}  // namespace ormel
