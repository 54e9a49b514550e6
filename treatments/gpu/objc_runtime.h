// The few entry points of the Objective-C runtime, Foundation and Metal that
// the Metal back end calls, reached through C: no Apple headers, no
// Objective-C compiler. Held as plain function pointers so the same
// message-sending code runs against another runtime (the tests' stand-in).
#pragma once

namespace ormel {
namespace objc {

struct Object;
struct Selector;
using Id = Object*;
using Sel = Selector*;
// NSUInteger on every Mac the bundle targets (64-bit only).
using UInteger = unsigned long;

struct Runtime {
    Id (*getClass)(const char* name);        // objc_getClass
    Sel (*registerName)(const char* name);   // sel_registerName
    void (*msgSend)();                       // objc_msgSend: send() gives it each message's type
    void* (*poolPush)();                     // objc_autoreleasePoolPush
    void (*poolPop)(void* pool);             // objc_autoreleasePoolPop
    Id (*createSystemDefaultDevice)();       // MTLCreateSystemDefaultDevice
    void (*log)(Id format, ...);             // NSLog
};

// [receiver selector:args...] returning R. objc_msgSend has no type of its
// own: it must be called as the method's exact C type (self, _cmd, then the
// arguments), or arguments land in the wrong registers.
template <typename R, typename... Args>
R send(const Runtime& runtime, Id receiver, const char* selector, Args... args) {
    using Method = R (*)(Id, Sel, Args...);
    return reinterpret_cast<Method>(runtime.msgSend)(receiver, runtime.registerName(selector), args...);
}

// The runtime of this process: libobjc, Foundation and Metal opened at the
// first call (once, whoever calls first). Null where any of them or any entry
// point is missing, which is every system but macOS.
const Runtime* systemRuntime();

}  // namespace objc
}  // namespace ormel
