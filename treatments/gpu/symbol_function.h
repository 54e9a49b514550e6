// A symbol found by dlsym or GetProcAddress as a typed function pointer.
#pragma once

#include <cstring>

namespace ormel {

// Sets fn to the symbol (null when it is) and tells whether it is set. Object
// and function pointers share a size on every platform that has dlsym or
// GetProcAddress; the copy avoids a cast the language leaves open.
template <typename Fn>
bool symbolAsFunction(void* symbol, Fn& fn) {
    static_assert(sizeof(symbol) == sizeof(fn), "function pointers fit in a data pointer");
    fn = nullptr;
    if (symbol != nullptr) std::memcpy(&fn, &symbol, sizeof(fn));
    return fn != nullptr;
}

}  // namespace ormel
