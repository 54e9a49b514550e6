#include "treatments/gpu/pixel_sort_opencl.h"

#include <cstdio>
#include <vector>

#include "treatments/gpu/opencl_runtime.h"
#include "treatments/gpu/pixel_sort_params.h"

namespace ormel {

namespace {

constexpr size_t kGroupSide = 16;

// Releases whatever one call created, on every way out.
struct CallObjects {
    const ocl::Api& api;
    ocl::Kernel sort = nullptr;
    ocl::Kernel post = nullptr;
    ocl::CommandQueue queue = nullptr;
    ocl::Mem buffers[4] = {nullptr, nullptr, nullptr, nullptr};

    explicit CallObjects(const ocl::Api& a) : api(a) {}
    CallObjects(const CallObjects&) = delete;
    CallObjects& operator=(const CallObjects&) = delete;
    ~CallObjects() {
        for (ocl::Mem buffer : buffers) {
            if (buffer != nullptr) api.releaseMemObject(buffer);
        }
        if (queue != nullptr) api.releaseCommandQueue(queue);
        if (post != nullptr) api.releaseKernel(post);
        if (sort != nullptr) api.releaseKernel(sort);
    }
};

// Kernel objects hold their arguments, so each call makes its own and calls
// from several render threads never share one.
ocl::Kernel makeKernel(const OpenClRuntime& runtime, ocl::Program program, const char* name) {
    ocl::Int status = ocl::kSuccess;
    ocl::Kernel kernel = runtime.api.createKernel(program, name, &status);
    if (kernel == nullptr || status != ocl::kSuccess) {
        std::fprintf(stderr, "Varnok OpenCL pipeline failed: %s: error %d\n", name, static_cast<int>(status));
        if (kernel != nullptr) runtime.api.releaseKernel(kernel);
        return nullptr;
    }
    return kernel;
}

ocl::Mem makeBuffer(const OpenClRuntime& runtime, ocl::MemFlags flags, size_t bytes, const void* data) {
    ocl::Int status = ocl::kSuccess;
    // The runtime only reads host memory passed with COPY_HOST_PTR.
    ocl::Mem buffer =
        runtime.api.createBuffer(runtime.context, flags, bytes, const_cast<void*>(data), &status);
    if (status != ocl::kSuccess && buffer != nullptr) {
        runtime.api.releaseMemObject(buffer);
        return nullptr;
    }
    return buffer;
}

ocl::Int bindArguments(const ocl::Api& api, ocl::Kernel kernel, ocl::Mem in, ocl::Mem out, ocl::Mem params) {
    ocl::Int status = api.setKernelArg(kernel, 0, sizeof(ocl::Mem), &in);
    if (status == ocl::kSuccess) status = api.setKernelArg(kernel, 1, sizeof(ocl::Mem), &out);
    if (status == ocl::kSuccess) status = api.setKernelArg(kernel, 2, sizeof(ocl::Mem), &params);
    return status;
}

size_t roundUp(size_t value, size_t step) { return (value + step - 1) / step * step; }

bool commandFailed(ocl::Int status) {
    std::fprintf(stderr, "Varnok OpenCL command failed: error %d\n", static_cast<int>(status));
    return false;
}

}  // namespace

bool applyPixelSortOpenCl(Image& image, const Settings& settings) {
    if (!fitsGpuKernels(image)) return false;
    const OpenClRuntime& runtime = openClRuntime();
    if (runtime.state != OpenClState::kReady) return false;
    return applyPixelSortWithProgram(runtime, runtime.program, image, settings);
}

bool applyPixelSortWithProgram(const OpenClRuntime& runtime, ocl::Program program, Image& image,
                               const Settings& settings) {
    if (!fitsGpuKernels(image) || runtime.state != OpenClState::kReady || program == nullptr) return false;
    const ocl::Api& api = runtime.api;

    CallObjects objects(api);
    objects.sort = makeKernel(runtime, program, "pixelSortKernel");
    if (objects.sort == nullptr) return false;
    objects.post = makeKernel(runtime, program, "pixelSortPostKernel");
    if (objects.post == nullptr) return false;

    ocl::Int status = ocl::kSuccess;
    objects.queue = api.createCommandQueue(runtime.context, runtime.device, 0, &status);
    if (objects.queue == nullptr || status != ocl::kSuccess) return false;

    const Params params = makePixelSortParams(image, settings);
    const size_t bytes = image.pixels.size() * sizeof(Pixel);
    ocl::Mem& input = objects.buffers[0];
    ocl::Mem& intermediate = objects.buffers[1];
    ocl::Mem& output = objects.buffers[2];
    ocl::Mem& block = objects.buffers[3];
    input = makeBuffer(runtime, ocl::kMemReadOnly | ocl::kMemCopyHostPtr, bytes, image.pixels.data());
    intermediate = makeBuffer(runtime, ocl::kMemReadWrite, bytes, nullptr);
    output = makeBuffer(runtime, ocl::kMemReadWrite, bytes, nullptr);
    block = makeBuffer(runtime, ocl::kMemReadOnly | ocl::kMemCopyHostPtr, sizeof(params), &params);
    if (input == nullptr || intermediate == nullptr || output == nullptr || block == nullptr) return false;

    status = bindArguments(api, objects.sort, input, intermediate, block);
    if (status == ocl::kSuccess) status = bindArguments(api, objects.post, intermediate, output, block);
    if (status != ocl::kSuccess) return commandFailed(status);

    // 16 x 16 groups as on Metal; the grid is rounded up to whole groups and
    // the kernels skip positions outside the image. A device that cannot run
    // 256 work-items per group picks its own grouping over the exact grid.
    const bool grouped = runtime.maxWorkGroupSize >= kGroupSide * kGroupSide;
    const size_t local[2] = {kGroupSide, kGroupSide};
    size_t global[2] = {params.width, params.height};
    if (grouped) {
        global[0] = roundUp(global[0], kGroupSide);
        global[1] = roundUp(global[1], kGroupSide);
    }
    const size_t* localSize = grouped ? local : nullptr;
    status = api.enqueueNDRangeKernel(objects.queue, objects.sort, 2, nullptr, global, localSize, 0, nullptr,
                                      nullptr);
    if (status == ocl::kSuccess) {
        status = api.enqueueNDRangeKernel(objects.queue, objects.post, 2, nullptr, global, localSize, 0,
                                          nullptr, nullptr);
    }
    // Read into a separate array so a failure leaves the image as it was.
    std::vector<Pixel> result(image.pixels.size());
    if (status == ocl::kSuccess) {
        status = api.enqueueReadBuffer(objects.queue, output, ocl::kTrue, 0, bytes, result.data(), 0, nullptr,
                                       nullptr);
    }
    if (status == ocl::kSuccess) status = api.finish(objects.queue);
    if (status != ocl::kSuccess) return commandFailed(status);

    image.pixels.swap(result);
    return true;
}

}  // namespace ormel
