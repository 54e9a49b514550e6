// The hand-written OpenCL declarations against the system's headers, where
// installed. Checked while compiling: a mismatch fails the build of gpu_tests.
#include "treatments/gpu/opencl_api.h"

#if __has_include(<CL/cl.h>)
#define CL_TARGET_OPENCL_VERSION 120
#include <CL/cl.h>
#define VARNOK_HAVE_CL_HEADERS 1
#endif

namespace ormel {
namespace {

#if defined(VARNOK_HAVE_CL_HEADERS)
static_assert(ocl::kSuccess == CL_SUCCESS, "");
static_assert(ocl::kTrue == CL_TRUE, "");
static_assert(ocl::kDeviceTypeCpu == CL_DEVICE_TYPE_CPU, "");
static_assert(ocl::kDeviceTypeGpu == CL_DEVICE_TYPE_GPU, "");
static_assert(ocl::kDeviceTypeAccelerator == CL_DEVICE_TYPE_ACCELERATOR, "");
static_assert(ocl::kDeviceTypeAll == CL_DEVICE_TYPE_ALL, "");
static_assert(ocl::kDeviceMaxWorkGroupSize == CL_DEVICE_MAX_WORK_GROUP_SIZE, "");
static_assert(ocl::kDeviceAvailable == CL_DEVICE_AVAILABLE, "");
static_assert(ocl::kDeviceCompilerAvailable == CL_DEVICE_COMPILER_AVAILABLE, "");
static_assert(ocl::kMemReadWrite == CL_MEM_READ_WRITE, "");
static_assert(ocl::kMemReadOnly == CL_MEM_READ_ONLY, "");
static_assert(ocl::kMemCopyHostPtr == CL_MEM_COPY_HOST_PTR, "");
static_assert(ocl::kProgramBuildLog == CL_PROGRAM_BUILD_LOG, "");
static_assert(sizeof(ocl::Int) == sizeof(cl_int) && sizeof(ocl::Uint) == sizeof(cl_uint), "");
static_assert(sizeof(ocl::Bitfield) == sizeof(cl_bitfield), "");
static_assert(sizeof(ocl::ContextProperties) == sizeof(cl_context_properties), "");
static_assert(sizeof(ocl::Mem) == sizeof(cl_mem), "kernel arguments pass the handle by size");

// Each entry point's type must be the header's, parameter for parameter.
template <typename Mine, typename Theirs>
constexpr bool sameArity = false;
template <typename R1, typename... A1, typename R2, typename... A2>
constexpr bool sameArity<R1 (*)(A1...), R2 (*)(A2...)> =
    sizeof(R1) == sizeof(R2) && sizeof...(A1) == sizeof...(A2) && ((sizeof(A1) == sizeof(A2)) && ...);

static_assert(sameArity<ocl::GetPlatformIDsFn, decltype(&clGetPlatformIDs)>, "");
static_assert(sameArity<ocl::GetDeviceIDsFn, decltype(&clGetDeviceIDs)>, "");
static_assert(sameArity<ocl::GetDeviceInfoFn, decltype(&clGetDeviceInfo)>, "");
static_assert(sameArity<ocl::CreateContextFn, decltype(&clCreateContext)>, "");
static_assert(sameArity<ocl::CreateProgramWithSourceFn, decltype(&clCreateProgramWithSource)>, "");
static_assert(sameArity<ocl::BuildProgramFn, decltype(&clBuildProgram)>, "");
static_assert(sameArity<ocl::GetProgramBuildInfoFn, decltype(&clGetProgramBuildInfo)>, "");
static_assert(sameArity<ocl::CreateKernelFn, decltype(&clCreateKernel)>, "");
static_assert(sameArity<ocl::SetKernelArgFn, decltype(&clSetKernelArg)>, "");
static_assert(sameArity<ocl::CreateBufferFn, decltype(&clCreateBuffer)>, "");
static_assert(sameArity<ocl::EnqueueNDRangeKernelFn, decltype(&clEnqueueNDRangeKernel)>, "");
static_assert(sameArity<ocl::EnqueueReadBufferFn, decltype(&clEnqueueReadBuffer)>, "");
static_assert(sameArity<ocl::FinishFn, decltype(&clFinish)>, "");
#endif

}  // namespace
}  // namespace ormel
