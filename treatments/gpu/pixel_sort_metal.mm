// Objective-C++, compiled with ARC on Apple systems only.
#include "treatments/gpu/pixel_sort_metal.h"

#import <Foundation/Foundation.h>
#import <Metal/Metal.h>

#include <cstring>
#include <mutex>

#include "treatments/gpu/kernel_source.h"
#include "treatments/gpu/pixel_sort_params.h"

namespace ormel {

namespace {

constexpr NSUInteger kGroupSide = 16;

constexpr const char kPrelude[] =
    "#include <metal_stdlib>\n"
    "using namespace metal;\n"
    "#define VK_GLOBAL device\n"
    "#define VK_CONSTANT constant\n"
    "#define VK_FUNC static inline\n"
    "#define VK_KERNEL kernel\n"
    "#define VK_BUFFER(i) [[buffer(i)]]\n"
    "#define VK_THREAD_PARAMS , uint2 vkThread [[thread_position_in_grid]]\n"
    "#define VK_THREAD_X vkThread.x\n"
    "#define VK_THREAD_Y vkThread.y\n";

// Process-wide; strong references under ARC, never released.
id<MTLDevice> gDevice = nil;
id<MTLLibrary> gLibrary = nil;

id<MTLDevice> defaultDevice() {
    static std::once_flag once;
    std::call_once(once, [] { gDevice = MTLCreateSystemDefaultDevice(); });
    return gDevice;
}

// Compiled once; a failed compile is logged once and never retried.
id<MTLLibrary> kernelLibrary(id<MTLDevice> device) {
    static std::once_flag once;
    std::call_once(once, [device] {
        NSString* source = [NSString stringWithFormat:@"%s%s", kPrelude, kPixelSortKernelSource];
        NSError* error = nil;
        gLibrary = [device newLibraryWithSource:source options:nil error:&error];
        if (gLibrary == nil) {
            NSLog(@"Varnok Metal compile failed: %@", error);
        }
    });
    return gLibrary;
}

id<MTLComputePipelineState> pipelineForFunction(NSString* name) {
    id<MTLDevice> device = defaultDevice();
    if (device == nil) return nil;
    id<MTLLibrary> library = kernelLibrary(device);
    if (library == nil) return nil;
    id<MTLFunction> function = [library newFunctionWithName:name];
    if (function == nil) {
        NSLog(@"Varnok Metal pipeline failed: %@", [NSString stringWithFormat:@"no function %@", name]);
        return nil;
    }
    NSError* error = nil;
    id<MTLComputePipelineState> pipeline = [device newComputePipelineStateWithFunction:function error:&error];
    if (pipeline == nil) {
        NSLog(@"Varnok Metal pipeline failed: %@", error);
    }
    return pipeline;
}

void encodePass(id<MTLCommandBuffer> commands, id<MTLComputePipelineState> pipeline, id<MTLBuffer> in,
                id<MTLBuffer> out, id<MTLBuffer> params, NSUInteger width, NSUInteger height) {
    id<MTLComputeCommandEncoder> encoder = [commands computeCommandEncoder];
    [encoder setComputePipelineState:pipeline];
    [encoder setBuffer:in offset:0 atIndex:0];
    [encoder setBuffer:out offset:0 atIndex:1];
    [encoder setBuffer:params offset:0 atIndex:2];
    [encoder dispatchThreads:MTLSizeMake(width, height, 1)
        threadsPerThreadgroup:MTLSizeMake(kGroupSide, kGroupSide, 1)];
    [encoder endEncoding];
}

bool runOnMetal(Image& image, const Settings& settings) {
    if (!fitsGpuKernels(image)) return false;
    id<MTLComputePipelineState> sort = pipelineForFunction(@"pixelSortKernel");
    id<MTLComputePipelineState> post = pipelineForFunction(@"pixelSortPostKernel");
    if (sort == nil || post == nil) return false;
    // A pipeline that cannot hold a 16 x 16 group would fail the dispatch.
    if (sort.maxTotalThreadsPerThreadgroup < kGroupSide * kGroupSide ||
        post.maxTotalThreadsPerThreadgroup < kGroupSide * kGroupSide) {
        return false;
    }
    id<MTLDevice> device = defaultDevice();

    id<MTLCommandQueue> queue = [device newCommandQueue];
    if (queue == nil) return false;
    const Params params = makePixelSortParams(image, settings);
    const NSUInteger bytes = image.pixels.size() * sizeof(Pixel);
    id<MTLBuffer> input = [device newBufferWithBytes:image.pixels.data()
                                              length:bytes
                                             options:MTLResourceStorageModeShared];
    id<MTLBuffer> intermediate = [device newBufferWithLength:bytes options:MTLResourceStorageModeShared];
    id<MTLBuffer> output = [device newBufferWithLength:bytes options:MTLResourceStorageModeShared];
    id<MTLBuffer> block = [device newBufferWithBytes:&params
                                              length:sizeof(params)
                                             options:MTLResourceStorageModeShared];
    if (input == nil || intermediate == nil || output == nil || block == nil) return false;

    id<MTLCommandBuffer> commands = [queue commandBuffer];
    if (commands == nil) return false;
    encodePass(commands, sort, input, intermediate, block, params.width, params.height);
    encodePass(commands, post, intermediate, output, block, params.width, params.height);
    [commands commit];
    [commands waitUntilCompleted];

    if ([commands status] != MTLCommandBufferStatusCompleted) {
        NSLog(@"Varnok Metal command failed: %@", [commands error]);
        return false;
    }
    std::memcpy(static_cast<void*>(image.pixels.data()), [output contents], bytes);
    return true;
}

}  // namespace

bool applyPixelSortMetal(Image& image, const Settings& settings) {
    @autoreleasepool {
        return runOnMetal(image, settings);
    }
}

}  // namespace ormel
