#include <dlfcn.h>

#include <mutex>

#include "treatments/gpu/objc_runtime.h"
#include "treatments/gpu/symbol_function.h"

namespace ormel {
namespace objc {

namespace {

constexpr const char* kObjc = "/usr/lib/libobjc.A.dylib";
constexpr const char* kFoundation = "/System/Library/Frameworks/Foundation.framework/Foundation";
constexpr const char* kMetal = "/System/Library/Frameworks/Metal.framework/Metal";

template <typename Fn>
bool resolve(void* library, const char* name, Fn& fn) {
    return symbolAsFunction(dlsym(library, name), fn);
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
