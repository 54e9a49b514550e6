// The instructions written out by hand rather than left to the compiler: a
// prefetch that stays, and additions whose operand order is fixed.
#pragma once

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__)
#include <immintrin.h>
#define ORMEL_SIMD_ASM 1
#endif

namespace ormel {

// Asks for the cache line at p to be brought into the second-level cache. (GCC
// may drop a loop of nothing but __builtin_prefetch as one without effect, and
// then the loop's work waits on memory; an asm statement stays.)
inline void prefetchLine(const void* p) {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    asm volatile("prefetcht1 %0" : : "m"(*static_cast<const char*>(p)));
#else
    __builtin_prefetch(p, 0, 2);
#endif
}

#if defined(ORMEL_SIMD_ASM)
// first + second, lane by lane, where a NaN in both gives first's payload.
// x86 keeps the first operand's payload, and the compiler may swap the
// operands of an addition, which only shows when both are NaN; loops that
// promise the scalar bits rely on the order, so it is fixed here.
inline __m128 addInOrder(__m128 first, __m128 second) {
    asm("addps %1, %0" : "+x"(first) : "x"(second));
    return first;
}
inline __m128d addInOrder(__m128d first, __m128d second) {
    asm("addpd %1, %0" : "+x"(first) : "x"(second));
    return first;
}

// The same in VEX form, for use beside 256-bit code (mixing the two forms
// costs a state change on some processors), and in EVEX form for 512-bit
// vectors. REG is the operands' register class.
#define ORMEL_ADD_IN_ORDER(NAME, ISA, TYPE, INSTRUCTION, REG)                                   \
    __attribute__((target(ISA), always_inline)) inline TYPE NAME(TYPE first, TYPE second) {    \
        TYPE sum;                                                                              \
        asm(INSTRUCTION " %2, %1, %0" : "=" REG(sum) : REG(first), REG "m"(second));           \
        return sum;                                                                            \
    }
ORMEL_ADD_IN_ORDER(addInOrderVex, "avx2", __m128, "vaddps", "x")
ORMEL_ADD_IN_ORDER(addInOrderVex, "avx2", __m128d, "vaddpd", "x")
ORMEL_ADD_IN_ORDER(addInOrderVex, "avx2", __m256, "vaddps", "x")
ORMEL_ADD_IN_ORDER(addInOrderVex, "avx2", __m256d, "vaddpd", "x")
#if !defined(_WIN32) && !(defined(__clang__) && __clang_major__ >= 18)
// (Not on Windows, where GCC cannot keep 64-byte stack slots aligned, nor
// with clang 18 and later, which checks a 512-bit operand against the
// file's instruction set instead of the function's target; the 256-bit path
// gives the same bits.)
#define ORMEL_SIMD_ASM_512 1
ORMEL_ADD_IN_ORDER(addInOrder512, "avx512f", __m512, "vaddps", "v")
ORMEL_ADD_IN_ORDER(addInOrder512, "avx512f", __m512d, "vaddpd", "v")
#endif
#undef ORMEL_ADD_IN_ORDER

// old, with first + second in the lanes of `take` (a NaN in both giving
// first's payload, as above).
__attribute__((target("avx2,avx512f,avx512vl"), always_inline)) inline __m256 addInOrderMasked(
    __m256 old, __mmask8 take, __m256 first, __m256 second) {
    asm("vaddps %3, %2, %0%{%1%}" : "+v"(old) : "Yk"(take), "v"(first), "v"(second));
    return old;
}
#endif

}  // namespace ormel
