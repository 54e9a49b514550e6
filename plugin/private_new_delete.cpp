// The global allocation functions, kept inside the plug-in on macOS. The C++
// runtime linked in defines them with default visibility, which would export
// them and, being weak, bind them across the host process; these strong
// definitions, compiled with -fvisibility-global-new-delete=force-hidden,
// replace them and stay private. <new> is not included: its declarations
// carry an explicit default visibility that the flag cannot override.
#include <stddef.h>
#include <stdlib.h>

namespace std {
enum class align_val_t : size_t;
struct nothrow_t {
    explicit nothrow_t() = default;
};
// The runtime's definition sits beside its allocation functions and would
// bring them in.
__attribute__((visibility("hidden"))) extern const nothrow_t nothrow;
const nothrow_t nothrow{};
}  // namespace std

// Throws std::bad_alloc (out_of_memory.cpp).
[[noreturn]] void varnokOutOfMemory();

namespace {

void* allocate(size_t size, size_t alignment) {
    if (size == 0) size = 1;
    if (alignment < sizeof(void*)) alignment = sizeof(void*);
    void* p = nullptr;
    if (posix_memalign(&p, alignment, size) != 0) varnokOutOfMemory();
    return p;
}

constexpr size_t kDefaultAlignment = alignof(max_align_t);

}  // namespace

void* operator new(size_t size) { return allocate(size, kDefaultAlignment); }
void* operator new[](size_t size) { return allocate(size, kDefaultAlignment); }
void* operator new(size_t size, std::align_val_t alignment) { return allocate(size, static_cast<size_t>(alignment)); }
void* operator new[](size_t size, std::align_val_t alignment) { return allocate(size, static_cast<size_t>(alignment)); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    if (size == 0) size = 1;
    return malloc(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    if (size == 0) size = 1;
    return malloc(size);
}
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, std::align_val_t) noexcept { free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { free(p); }
