// Asking for memory ahead of its use.
#pragma once

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

}  // namespace ormel
