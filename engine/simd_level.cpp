#include "engine/simd_level.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(VARNOK_CPUID_BY_HAND)
#include <cpuid.h>
#endif

namespace ormel {

namespace {
constexpr SimdLevel kLevels[] = {SimdLevel::scalar, SimdLevel::sse2, SimdLevel::avx2, SimdLevel::avx512};
}  // namespace

#if defined(VARNOK_CPUID_BY_HAND)
// For compilers whose runtime lacks __builtin_cpu_supports' data (Zig's): the
// same questions put to the processor directly, the operating system's saved
// register state (XCR0) included. Where the system enables AVX-512 state only
// on first use (macOS), the answer is AVX2, which gives the same bits.
SimdLevel machineSimdLevel() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (d & bit_SSE2) == 0) return SimdLevel::scalar;
    if ((c & bit_OSXSAVE) == 0 || (c & bit_AVX) == 0) return SimdLevel::sse2;
    uint32_t xcrLow = 0, xcrHigh = 0;
    asm volatile("xgetbv" : "=a"(xcrLow), "=d"(xcrHigh) : "c"(0));
    if ((xcrLow & 0x6) != 0x6) return SimdLevel::sse2;
    if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0 || (b & bit_AVX2) == 0) return SimdLevel::sse2;
    if ((b & bit_AVX512F) == 0 || (b & bit_AVX512VL) == 0 || (xcrLow & 0xe6) != 0xe6) return SimdLevel::avx2;
    return SimdLevel::avx512;
}
#else
SimdLevel machineSimdLevel() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    // These also check that the operating system saves the wider registers.
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("sse2")) return SimdLevel::scalar;
    if (!__builtin_cpu_supports("avx") || !__builtin_cpu_supports("avx2")) return SimdLevel::sse2;
    if (!__builtin_cpu_supports("avx512f") || !__builtin_cpu_supports("avx512vl")) return SimdLevel::avx2;
    return SimdLevel::avx512;
#else
    return SimdLevel::scalar;
#endif
}
#endif

bool parseSimdLevel(const char* name, SimdLevel* level) {
    if (name == nullptr) return false;
    for (SimdLevel candidate : kLevels) {
        if (std::strcmp(name, simdLevelName(candidate)) == 0) {
            *level = candidate;
            return true;
        }
    }
    return false;
}

SimdLevel requestedSimdLevel(SimdLevel machine, const char* request) {
    SimdLevel level = machine;
    if (!parseSimdLevel(request, &level)) return machine;
    return level < machine ? level : machine;
}

SimdLevel chooseSimdLevel() { return requestedSimdLevel(machineSimdLevel(), std::getenv("VARNOK_SIMD")); }

const char* simdLevelName(SimdLevel level) {
    switch (level) {
        case SimdLevel::scalar: return "scalar";
        case SimdLevel::sse2: return "sse2";
        case SimdLevel::avx2: return "avx2";
        case SimdLevel::avx512: return "avx512";
    }
    return "scalar";
}

const char* simdLevelName() { return simdLevelName(simdLevel()); }

}  // namespace ormel
