// Runs a test program at one processor level: `simd_run LEVEL PROGRAM ARGS...`
// sets VARNOK_SIMD to LEVEL and runs PROGRAM, or exits 77 (which ctest reports
// as skipped) when this machine does not have LEVEL, so the log shows which
// levels each registered program ran at.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "engine/simd_level.h"

int main(int argc, char** argv) {
    ormel::SimdLevel wanted;
    if (argc < 3 || !ormel::parseSimdLevel(argv[1], &wanted)) {
        std::fprintf(stderr, "usage: simd_run scalar|sse2|avx2|avx512 PROGRAM [ARGS...]\n");
        return 2;
    }
    const ormel::SimdLevel machine = ormel::machineSimdLevel();
    if (wanted > machine) {
        std::printf("not run at %s: this machine goes up to %s\n", argv[1], ormel::simdLevelName(machine));
        return 77;
    }
    std::printf("running %s at %s (this machine goes up to %s)\n", argv[2], argv[1], ormel::simdLevelName(machine));
    std::fflush(stdout);
    if (::setenv("VARNOK_SIMD", argv[1], 1) != 0) {
        std::perror("simd_run: setenv");
        return 2;
    }
    ::execv(argv[2], argv + 2);
    std::perror("simd_run: cannot run the program");
    return 2;
}
