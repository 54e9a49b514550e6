// The GPU pixel sort kernels compiled as C++, one call per thread position:
// the reference the GPU back ends are checked against, and a way to run the
// kernel arithmetic where no GPU exists.
#pragma once

#include <cmath>
#include <cstdint>

namespace ormel {
namespace gpu_kernels {

typedef uint32_t uint;
using std::fabs;
using std::floor;
using std::round;

#define VK_GLOBAL
#define VK_CONSTANT const
#define VK_FUNC inline
#define VK_KERNEL inline
#define VK_BUFFER(i)
#define VK_THREAD_PARAMS , uint vkThreadX, uint vkThreadY
#define VK_THREAD_X vkThreadX
#define VK_THREAD_Y vkThreadY

#include "treatments/gpu/pixel_sort_kernels.inc"

#undef VK_GLOBAL
#undef VK_CONSTANT
#undef VK_FUNC
#undef VK_KERNEL
#undef VK_BUFFER
#undef VK_THREAD_PARAMS
#undef VK_THREAD_X
#undef VK_THREAD_Y

}  // namespace gpu_kernels
}  // namespace ormel
