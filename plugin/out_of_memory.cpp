#include <new>

// For private_new_delete.cpp, which cannot include <new>.
[[noreturn]] void varnokOutOfMemory() { throw std::bad_alloc(); }
