// The Metal back end's message-sending code against the stand-in runtime.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/treatments/gpu/metal_stand_in.h"
#include "tests/treatments/gpu/test_pictures.h"
#include "treatments/gpu/kernel_source.h"
#include "treatments/gpu/pixel_sort_metal.h"
#include "treatments/gpu/pixel_sort_params.h"
#include "treatments/gpu/pixel_sort_reference.h"

namespace ormel {
namespace {

using metal_stand_in::Failure;
using metal_stand_in::StandIn;
using testing_gpu::sameBits;

struct Case {
    Failure failure;
    const char* name;
    const char* log;  // the line each call logs, or null
    bool loggedOnce;  // a failure that is final for the process
};

const Case kCases[] = {
    {Failure::kNone, "none", nullptr, false},
    {Failure::kNoDevice, "no device", nullptr, false},
    {Failure::kCompile, "compile", "Varnok Metal compile failed: stand-in compile error", true},
    {Failure::kNoFunction, "no function", "Varnok Metal pipeline failed: no function pixelSortKernel", false},
    {Failure::kPipeline, "pipeline", "Varnok Metal pipeline failed: stand-in pipeline error", false},
    {Failure::kSmallGroups, "small groups", nullptr, false},
    {Failure::kNoQueue, "no queue", nullptr, false},
    {Failure::kNoBuffer, "no buffer", nullptr, false},
    {Failure::kNoCommandBuffer, "no command buffer", nullptr, false},
    {Failure::kNoEncoder, "no encoder", nullptr, false},
    {Failure::kCommandError, "command error", "Varnok Metal command failed: stand-in command error", false},
};

// Each case renders twice through one set of kept objects, as two frames of
// one process would: the device and the library are made once, everything
// else is released by the end of each call, and a failure leaves the image
// as it was.
TEST(PixelSortMetal, RendersTheKernelsOrFallsBackCleanlyAtEveryFailure) {
    // Not a multiple of 16 either way: the grid is exactly the image.
    const Image input = testing_gpu::variedPicture(37, 21);
    const Settings settings = testing_gpu::rougeSettings();
    const Image expected = runPixelSortKernelsReference(input, makePixelSortParams(input, settings));
    const unsigned long bytes = input.pixels.size() * sizeof(Pixel);

    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        StandIn standIn(c.failure);
        MetalKernels kernels(standIn.runtime());
        const bool works = c.failure == Failure::kNone;
        for (int call = 0; call < 2; ++call) {
            Image image = input;
            EXPECT_EQ(applyPixelSortMetal(kernels, image, settings), works);
            EXPECT_TRUE(sameBits(image, works ? expected : input));
        }
        const metal_stand_in::Record& record = standIn.record();
        EXPECT_EQ(record.faults, std::vector<std::string>{});
        EXPECT_EQ(record.poolsPushed, 2);
        EXPECT_EQ(record.poolsPopped, 2);
        std::vector<std::string> logs;
        for (int call = 0; c.log != nullptr && call < (c.loggedOnce ? 1 : 2); ++call) logs.push_back(c.log);
        EXPECT_EQ(record.logs, logs);
        EXPECT_LE(record.libraryCompiles, 1);

        // Kept: the device, and the library once it compiled.
        std::vector<std::string> kept;
        if (c.failure != Failure::kNoDevice) kept.push_back("MTLDevice");
        if (c.failure != Failure::kNoDevice && c.failure != Failure::kCompile) kept.push_back("MTLLibrary");
        EXPECT_EQ(standIn.liveObjects(), kept);

        if (works) {
            EXPECT_EQ(record.bufferLengths, (std::vector<unsigned long>{bytes, bytes, bytes, 80, bytes, bytes, bytes, 80}));
            ASSERT_EQ(record.dispatches.size(), 4u);
            for (size_t i = 0; i < record.dispatches.size(); ++i) {
                const metal_stand_in::Dispatch& pass = record.dispatches[i];
                const int first = i < 2 ? 0 : 4;
                const bool sort = i % 2 == 0;
                EXPECT_EQ(pass.function, sort ? "pixelSortKernel" : "pixelSortPostKernel");
                // input -> intermediate -> output, the block at index 2.
                EXPECT_EQ(pass.buffers[0], first + (sort ? 0 : 1));
                EXPECT_EQ(pass.buffers[1], first + (sort ? 1 : 2));
                EXPECT_EQ(pass.buffers[2], first + 3);
                EXPECT_EQ(pass.grid[0], 37u);
                EXPECT_EQ(pass.grid[1], 21u);
                EXPECT_EQ(pass.grid[2], 1u);
                EXPECT_EQ(pass.group[0], 16u);
                EXPECT_EQ(pass.group[1], 16u);
                EXPECT_EQ(pass.group[2], 1u);
            }
        }
    }
}

TEST(PixelSortMetal, DeclinesWithoutTheFrameworksAndBeforeTouchingABadImage) {
    // No libobjc, Foundation or Metal on this system.
    EXPECT_EQ(objc::systemRuntime(), nullptr);
    StandIn standIn(Failure::kNone);
    MetalKernels kernels(standIn.runtime());
    Image lying = testing_gpu::variedPicture(8, 8);
    lying.pixels.resize(40);
    const Image before = lying;
    EXPECT_FALSE(applyPixelSortMetal(kernels, lying, testing_gpu::rougeSettings()));
    EXPECT_TRUE(sameBits(lying, before));
    EXPECT_EQ(standIn.record().poolsPushed, 0);
    EXPECT_EQ(standIn.liveObjects(), std::vector<std::string>{});
}

}  // namespace
}  // namespace ormel
