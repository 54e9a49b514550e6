#include "engine/simd_level.h"

#include <cstdlib>
#include <cstring>

namespace ormel {

namespace {
constexpr SimdLevel kLevels[] = {SimdLevel::scalar, SimdLevel::sse2, SimdLevel::avx2, SimdLevel::avx512};
}  // namespace

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
