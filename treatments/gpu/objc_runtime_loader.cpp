#include <dlfcn.h>

#include <cstring>
#include <mutex>

#include "treatments/gpu/objc_runtime.h"

namespace ormel {
namespace objc {

namespace {

constexpr const char* kObjc = "/usr/lib/libobjc.A.dylib";
constexpr const char* kFoundation = "/System/Library/Frameworks/Foundation.framework/Foundation";
constexpr const char* kMetal = "/System/Library/Frameworks/Metal.framework/Metal";

template <typename Fn>
bool resolve(void* library, const char* name, Fn& fn) {
    void* symbol = dlsym(library, name);
    // Object and function pointers share a size wherever dlsym exists; the
    // copy avoids a cast the language leaves open.
    static_assert(sizeof(symbol) == sizeof(fn), "function pointers fit in a data pointer");
    fn = nullptr;
    if (symbol != nullptr) std::memcpy(&fn, &symbol, sizeof(fn));
    return fn != nullptr;
}

// The libraries stay open for the life of the process: the device and the
// compiled kernels are kept as long.
bool load(Runtime& runtime) {
    void* objcLibrary = dlopen(kObjc, RTLD_NOW | RTLD_LOCAL);
    void* foundation = objcLibrary != nullptr ? dlopen(kFoundation, RTLD_NOW | RTLD_LOCAL) : nullptr;
    void* metal = foundation != nullptr ? dlopen(kMetal, RTLD_NOW | RTLD_LOCAL) : nullptr;
    if (metal == nullptr) return false;
    Runtime found{};
    const bool ok = resolve(objcLibrary, "objc_getClass", found.getClass) &&
                    resolve(objcLibrary, "sel_registerName", found.registerName) &&
                    resolve(objcLibrary, "objc_msgSend", found.msgSend) &&
                    resolve(objcLibrary, "objc_autoreleasePoolPush", found.poolPush) &&
                    resolve(objcLibrary, "objc_autoreleasePoolPop", found.poolPop) &&
                    resolve(metal, "MTLCreateSystemDefaultDevice", found.createSystemDefaultDevice) &&
                    resolve(foundation, "NSLog", found.log);
    if (ok) runtime = found;
    return ok;
}

}  // namespace

const Runtime* systemRuntime() {
    static Runtime runtime{};
    static bool loaded = false;
    static std::once_flag once;
    std::call_once(once, [] { loaded = load(runtime); });
    return loaded ? &runtime : nullptr;
}

}  // namespace objc
}  // namespace ormel
