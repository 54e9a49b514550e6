// Metal through the Objective-C runtime's C interface, with manual reference
// counting: objects from new... methods and MTLCreateSystemDefaultDevice are
// owned and released here; the others are autoreleased into the pool that
// wraps every call.
#include "treatments/gpu/pixel_sort_metal.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "treatments/gpu/kernel_source.h"
#include "treatments/gpu/pixel_sort_params.h"

namespace ormel {

namespace {

using objc::Id;
using objc::send;
using objc::UInteger;

constexpr UInteger kGroupSide = 16;
constexpr UInteger kStorageModeShared = 0;  // MTLResourceStorageModeShared
constexpr UInteger kStatusCompleted = 4;    // MTLCommandBufferStatusCompleted

// MTLSize, passed by value as Metal declares it.
struct Size {
    UInteger width;
    UInteger height;
    UInteger depth;
};

// An autorelease pool for the scope.
class Pool {
public:
    explicit Pool(const objc::Runtime& runtime) : runtime_(runtime), pool_(runtime.poolPush()) {}
    ~Pool() { runtime_.poolPop(pool_); }
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

private:
    const objc::Runtime& runtime_;
    void* pool_;
};

// An owned object, released at the end of the scope; nil is allowed.
class Owned {
public:
    Owned(const objc::Runtime& runtime, Id object) : runtime_(runtime), object_(object) {}
    ~Owned() {
        if (object_ != nullptr) send<void>(runtime_, object_, "release");
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Id get() const { return object_; }

private:
    const objc::Runtime& runtime_;
    Id object_;
};

// An autoreleased NSString.
Id string(const objc::Runtime& runtime, const char* text) {
    return send<Id>(runtime, runtime.getClass("NSString"), "stringWithUTF8String:", text);
}

void log(const objc::Runtime& runtime, const char* format, Id argument) {
    runtime.log(string(runtime, format), argument);
}

Id defaultDevice(MetalKernels& kernels) {
    std::call_once(kernels.deviceOnce, [&kernels] { kernels.device = kernels.runtime.createSystemDefaultDevice(); });
    return kernels.device;
}

// Compiled once, with no compile options; a failed compile is logged once and
// never retried.
Id kernelLibrary(MetalKernels& kernels, Id device) {
    std::call_once(kernels.libraryOnce, [&kernels, device] {
        const objc::Runtime& runtime = kernels.runtime;
        const std::string text = std::string(kPixelSortMetalPrelude) + kPixelSortKernelSource;
        Id error = nullptr;
        kernels.library = send<Id>(runtime, device, "newLibraryWithSource:options:error:", string(runtime, text.c_str()),
                                   static_cast<Id>(nullptr), &error);
        if (kernels.library == nullptr) log(runtime, "Varnok Metal compile failed: %@", error);
    });
    return kernels.library;
}

// An owned pipeline state for the named kernel, or nil.
Id pipelineForFunction(MetalKernels& kernels, const char* name) {
    const objc::Runtime& runtime = kernels.runtime;
    Id device = defaultDevice(kernels);
    if (device == nullptr) return nullptr;
    Id library = kernelLibrary(kernels, device);
    if (library == nullptr) return nullptr;
    Owned function(runtime, send<Id>(runtime, library, "newFunctionWithName:", string(runtime, name)));
    if (function.get() == nullptr) {
        log(runtime, "Varnok Metal pipeline failed: %@", string(runtime, (std::string("no function ") + name).c_str()));
        return nullptr;
    }
    Id error = nullptr;
    Id pipeline = send<Id>(runtime, device, "newComputePipelineStateWithFunction:error:", function.get(), &error);
    if (pipeline == nullptr) log(runtime, "Varnok Metal pipeline failed: %@", error);
    return pipeline;
}

// One pass: `pipeline` reads `in` at index 0 and writes `out` at index 1,
// one thread per pixel in 16 x 16 groups.
bool encodePass(const objc::Runtime& runtime, Id commands, Id pipeline, Id in, Id out, Id params, Size grid) {
    Id encoder = send<Id>(runtime, commands, "computeCommandEncoder");
    if (encoder == nullptr) return false;
    send<void>(runtime, encoder, "setComputePipelineState:", pipeline);
    send<void>(runtime, encoder, "setBuffer:offset:atIndex:", in, UInteger{0}, UInteger{0});
    send<void>(runtime, encoder, "setBuffer:offset:atIndex:", out, UInteger{0}, UInteger{1});
    send<void>(runtime, encoder, "setBuffer:offset:atIndex:", params, UInteger{0}, UInteger{2});
    send<void>(runtime, encoder, "dispatchThreads:threadsPerThreadgroup:", grid, Size{kGroupSide, kGroupSide, 1});
    send<void>(runtime, encoder, "endEncoding");
    return true;
}

bool holdsGroup(const objc::Runtime& runtime, Id pipeline) {
    return send<UInteger>(runtime, pipeline, "maxTotalThreadsPerThreadgroup") >= kGroupSide * kGroupSide;
}

bool run(MetalKernels& kernels, Image& image, const Settings& settings) {
    const objc::Runtime& runtime = kernels.runtime;
    Owned sort(runtime, pipelineForFunction(kernels, "pixelSortKernel"));
    if (sort.get() == nullptr) return false;
    Owned post(runtime, pipelineForFunction(kernels, "pixelSortPostKernel"));
    if (post.get() == nullptr) return false;
    // A pipeline that cannot hold a 16 x 16 group would fail the dispatch.
    if (!holdsGroup(runtime, sort.get()) || !holdsGroup(runtime, post.get())) return false;
    Id device = kernels.device;

    Owned queue(runtime, send<Id>(runtime, device, "newCommandQueue"));
    if (queue.get() == nullptr) return false;
    const Params params = makePixelSortParams(image, settings);
    const UInteger bytes = image.pixels.size() * sizeof(Pixel);
    const char* withBytes = "newBufferWithBytes:length:options:";
    const char* withLength = "newBufferWithLength:options:";
    Owned input(runtime, send<Id>(runtime, device, withBytes, static_cast<const void*>(image.pixels.data()), bytes,
                                  kStorageModeShared));
    Owned intermediate(runtime, send<Id>(runtime, device, withLength, bytes, kStorageModeShared));
    Owned output(runtime, send<Id>(runtime, device, withLength, bytes, kStorageModeShared));
    Owned block(runtime, send<Id>(runtime, device, withBytes, static_cast<const void*>(&params),
                                  UInteger{sizeof(params)}, kStorageModeShared));
    if (input.get() == nullptr || intermediate.get() == nullptr || output.get() == nullptr || block.get() == nullptr) {
        return false;
    }

    Id commands = send<Id>(runtime, queue.get(), "commandBuffer");
    if (commands == nullptr) return false;
    const Size grid{params.width, params.height, 1};
    if (!encodePass(runtime, commands, sort.get(), input.get(), intermediate.get(), block.get(), grid) ||
        !encodePass(runtime, commands, post.get(), intermediate.get(), output.get(), block.get(), grid)) {
        return false;
    }
    send<void>(runtime, commands, "commit");
    send<void>(runtime, commands, "waitUntilCompleted");

    if (send<UInteger>(runtime, commands, "status") != kStatusCompleted) {
        log(runtime, "Varnok Metal command failed: %@", send<Id>(runtime, commands, "error"));
        return false;
    }
    const void* result = send<void*>(runtime, output.get(), "contents");
    if (result == nullptr) return false;
    std::memcpy(static_cast<void*>(image.pixels.data()), result, bytes);
    return true;
}

}  // namespace

bool applyPixelSortMetal(MetalKernels& kernels, Image& image, const Settings& settings) {
    if (!fitsGpuKernels(image)) return false;
    Pool pool(kernels.runtime);
    return run(kernels, image, settings);
}

bool applyPixelSortMetal(Image& image, const Settings& settings) {
    if (!fitsGpuKernels(image)) return false;
    const objc::Runtime* runtime = objc::systemRuntime();
    if (runtime == nullptr) return false;
    // Kept until the process ends, as the device and the library are.
    static MetalKernels kernels(*runtime);
    return applyPixelSortMetal(kernels, image, settings);
}

}  // namespace ormel
