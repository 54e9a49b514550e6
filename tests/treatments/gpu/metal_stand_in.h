// A stand-in for the Objective-C runtime, Foundation and Metal, enough to run
// the Metal back end's message-sending code on a machine without them. Objects
// are counted (created, retained by new..., autoreleased, released), every
// message is looked up by class and selector, and a command buffer runs its
// passes through the C++ build of the kernels over exactly the grid
// dispatched. One stand-in is active at a time.
#pragma once

#include <string>
#include <vector>

#include "treatments/gpu/objc_runtime.h"

namespace ormel {
namespace metal_stand_in {

// Where the stand-in says no.
enum class Failure {
    kNone,
    kNoDevice,         // MTLCreateSystemDefaultDevice is nil
    kCompile,          // newLibraryWithSource:... is nil with an error
    kNoFunction,       // newFunctionWithName: is nil
    kPipeline,         // newComputePipelineStateWithFunction:error: is nil with an error
    kSmallGroups,      // pipelines hold 64 threads per group
    kNoQueue,          // newCommandQueue is nil
    kNoBuffer,         // newBufferWithLength:options: is nil
    kNoCommandBuffer,  // commandBuffer is nil
    kNoEncoder,        // computeCommandEncoder is nil
    kCommandError,     // the command buffer ends with status 5 (error) and an error
};

struct Dispatch {
    std::string function;
    int buffers[3] = {-1, -1, -1};  // indices into Record::bufferLengths bound at 0, 1, 2
    unsigned long grid[3] = {0, 0, 0};
    unsigned long group[3] = {0, 0, 0};
};

struct Record {
    std::vector<unsigned long> bufferLengths;  // every buffer made, in order
    std::vector<Dispatch> dispatches;          // every pass committed
    std::vector<std::string> logs;             // NSLog lines, %@ replaced by the argument's text
    std::vector<std::string> faults;           // unanswered messages, use after release, pool misuse
    int libraryCompiles = 0;
    int poolsPushed = 0;
    int poolsPopped = 0;
};

class StandIn {
public:
    explicit StandIn(Failure failure);
    ~StandIn();
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    const objc::Runtime& runtime() const;
    const Record& record() const;
    // Classes of the objects created and not yet freed, sorted.
    std::vector<std::string> liveObjects() const;
};

}  // namespace metal_stand_in
}  // namespace ormel
