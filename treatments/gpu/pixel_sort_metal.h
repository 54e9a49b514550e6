// The GPU pixel sort through Apple's Metal.
#pragma once

#include <mutex>

#include "engine/types.h"
#include "treatments/gpu/objc_runtime.h"

namespace ormel {

// True: the GPU has done the whole effect (sort, blur and glow) and the image
// holds it. False on any failure, and always on systems without Metal; the
// image is then untouched and the processor path runs.
bool applyPixelSortMetal(Image& image, const Settings& settings);

// The objects kept from one call to the next over one runtime: the default
// device and the compiled kernel library, each made once (a failed attempt is
// final). The process has one, over the system runtime; the tests make their own.
struct MetalKernels {
    const objc::Runtime& runtime;
    std::once_flag deviceOnce;
    std::once_flag libraryOnce;
    objc::Id device = nullptr;
    objc::Id library = nullptr;

    explicit MetalKernels(const objc::Runtime& r) : runtime(r) {}
};

// The same with the caller's kept objects.
bool applyPixelSortMetal(MetalKernels& kernels, Image& image, const Settings& settings);

}  // namespace ormel
