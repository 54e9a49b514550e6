#include "tests/treatments/gpu/metal_stand_in.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "treatments/gpu/pixel_sort_kernels_cpp.h"

// objc_msgSend's job: find the method for (self, _cmd) and jump to it with
// every argument register and the stack as the caller left them, so the
// method receives the arguments of the type the caller cast to. x86-64 System V.
extern "C" void varnokStandInMsgSend();
extern "C" void* varnokStandInLookup(void* self, void* selector);
asm(R"(
    .text
    .globl varnokStandInMsgSend
    .type varnokStandInMsgSend, @function
varnokStandInMsgSend:
    push %rbp
    mov %rsp, %rbp
    push %rdi
    push %rsi
    push %rdx
    push %rcx
    push %r8
    push %r9
    sub $128, %rsp
    movdqu %xmm0, 0(%rsp)
    movdqu %xmm1, 16(%rsp)
    movdqu %xmm2, 32(%rsp)
    movdqu %xmm3, 48(%rsp)
    movdqu %xmm4, 64(%rsp)
    movdqu %xmm5, 80(%rsp)
    movdqu %xmm6, 96(%rsp)
    movdqu %xmm7, 112(%rsp)
    call varnokStandInLookup
    mov %rax, %r11
    movdqu 0(%rsp), %xmm0
    movdqu 16(%rsp), %xmm1
    movdqu 32(%rsp), %xmm2
    movdqu 48(%rsp), %xmm3
    movdqu 64(%rsp), %xmm4
    movdqu 80(%rsp), %xmm5
    movdqu 96(%rsp), %xmm6
    movdqu 112(%rsp), %xmm7
    add $128, %rsp
    pop %r9
    pop %r8
    pop %rcx
    pop %rdx
    pop %rsi
    pop %rdi
    pop %rbp
    jmp *%r11
    .size varnokStandInMsgSend, .-varnokStandInMsgSend
    .section .note.GNU-stack,"",@progbits
    .text
)");

namespace ormel {
namespace metal_stand_in {

namespace {

using objc::Id;
using objc::Sel;
using objc::UInteger;

struct Size {
    UInteger width;
    UInteger height;
    UInteger depth;
};

struct Obj {
    std::string cls;
    int references = 1;
    std::string text;                 // NSString, NSError, MTLFunction, pipeline: its function
    std::vector<unsigned char> bytes;  // MTLBuffer
    int bufferIndex = -1;
    std::vector<Dispatch> passes;  // command buffer
    Obj* commands = nullptr;       // encoder: its command buffer
    Dispatch pending;              // encoder: the pass being set up
    bool committed = false;
};

struct State {
    Failure failure = Failure::kNone;
    Record record;
    std::vector<std::unique_ptr<Obj>> objects;
    std::vector<Obj*> buffers;
    std::map<std::string, std::unique_ptr<Obj>> classes;
    std::set<std::string> selectors;
    std::vector<std::vector<Obj*>> pools;
    std::map<std::pair<std::string, std::string>, void (*)()> methods;
    objc::Runtime runtime{};
};

State* active = nullptr;

Obj* obj(Id id) { return reinterpret_cast<Obj*>(id); }
Id id(Obj* o) { return reinterpret_cast<Id>(o); }
const std::string& name(Sel sel) { return *reinterpret_cast<const std::string*>(sel); }
void fault(const std::string& what) { active->record.faults.push_back(what); }

// +1 for the caller, as new... methods give.
Obj* make(const std::string& cls) {
    active->objects.push_back(std::make_unique<Obj>());
    Obj* o = active->objects.back().get();
    o->cls = cls;
    return o;
}

Obj* autoreleased(Obj* o) {
    if (active->pools.empty()) {
        fault("autorelease with no pool: " + o->cls);
    } else {
        active->pools.back().push_back(o);
    }
    return o;
}

Obj* text(const std::string& cls, const std::string& value) {
    Obj* o = make(cls);
    o->text = value;
    return o;
}

void release(Obj* o) {
    if (o->references <= 0) {
        fault("release of a freed " + o->cls);
        return;
    }
    --o->references;
}

bool fails(Failure failure) { return active->failure == failure; }

Obj* newBuffer(UInteger length) {
    Obj* o = make("MTLBuffer");
    o->bytes.assign(length, 0xcd);  // not zero: a pass that writes nothing shows
    o->bufferIndex = static_cast<int>(active->record.bufferLengths.size());
    active->record.bufferLengths.push_back(length);
    active->buffers.push_back(o);
    return o;
}

// Runs one pass over its grid, each thread on the C++ build of the kernel.
void execute(const Dispatch& pass) {
    using gpu_kernels::PixelSortParams;
    using gpu_kernels::SortPixel;
    for (int index : pass.buffers) {
        if (index < 0) return fault("pass " + pass.function + " with a buffer unbound");
    }
    Obj* in = active->buffers[pass.buffers[0]];
    Obj* out = active->buffers[pass.buffers[1]];
    Obj* block = active->buffers[pass.buffers[2]];
    if (block->bytes.size() != sizeof(PixelSortParams)) return fault("parameter block of the wrong size");
    PixelSortParams params;
    std::memcpy(&params, block->bytes.data(), sizeof(params));
    const size_t needed = static_cast<size_t>(params.width) * params.height * sizeof(SortPixel);
    if (in->bytes.size() < needed || out->bytes.size() < needed) return fault("image buffer too small");
    auto kernel = pass.function == "pixelSortKernel" ? &gpu_kernels::pixelSortKernel : &gpu_kernels::pixelSortPostKernel;
    std::vector<SortPixel> source(in->bytes.size() / sizeof(SortPixel));
    std::vector<SortPixel> target(out->bytes.size() / sizeof(SortPixel));
    std::memcpy(source.data(), in->bytes.data(), source.size() * sizeof(SortPixel));
    std::memcpy(target.data(), out->bytes.data(), target.size() * sizeof(SortPixel));
    for (UInteger z = 0; z < pass.grid[2]; ++z) {
        for (UInteger y = 0; y < pass.grid[1]; ++y) {
            for (UInteger x = 0; x < pass.grid[0]; ++x) {
                kernel(source.data(), target.data(), &params, static_cast<uint32_t>(x), static_cast<uint32_t>(y));
            }
        }
    }
    std::memcpy(out->bytes.data(), target.data(), target.size() * sizeof(SortPixel));
}

// The methods, each with its exact C type.
Id stringWithUTF8String(Id, Sel, const char* value) { return id(autoreleased(text("NSString", value))); }

Id newLibrary(Id, Sel, Id source, Id options, Id* error) {
    ++active->record.libraryCompiles;
    if (source == nullptr || obj(source)->cls != "NSString" || options != nullptr) fault("library source or options");
    if (fails(Failure::kCompile)) {
        *error = id(autoreleased(text("NSError", "stand-in compile error")));
        return nullptr;
    }
    Obj* library = make("MTLLibrary");
    library->text = obj(source)->text;
    return id(library);
}

Id newFunctionWithName(Id, Sel, Id functionName) {
    const std::string& wanted = obj(functionName)->text;
    if (fails(Failure::kNoFunction) || (wanted != "pixelSortKernel" && wanted != "pixelSortPostKernel")) return nullptr;
    return id(text("MTLFunction", wanted));
}

Id newPipeline(Id, Sel, Id function, Id* error) {
    if (fails(Failure::kPipeline)) {
        *error = id(autoreleased(text("NSError", "stand-in pipeline error")));
        return nullptr;
    }
    return id(text("MTLComputePipelineState", obj(function)->text));
}

UInteger maxTotalThreadsPerThreadgroup(Id, Sel) { return fails(Failure::kSmallGroups) ? 64 : 1024; }

Id newCommandQueue(Id, Sel) { return fails(Failure::kNoQueue) ? nullptr : id(make("MTLCommandQueue")); }

Id newBufferWithBytes(Id, Sel, const void* bytes, UInteger length, UInteger options) {
    if (options != 0) fault("buffer not in shared storage");
    Obj* buffer = newBuffer(length);
    std::memcpy(buffer->bytes.data(), bytes, length);
    return id(buffer);
}

Id newBufferWithLength(Id, Sel, UInteger length, UInteger options) {
    if (options != 0) fault("buffer not in shared storage");
    return fails(Failure::kNoBuffer) ? nullptr : id(newBuffer(length));
}

void* contents(Id self, Sel) { return obj(self)->bytes.data(); }

Id commandBuffer(Id, Sel) {
    return fails(Failure::kNoCommandBuffer) ? nullptr : id(autoreleased(make("MTLCommandBuffer")));
}

Id computeCommandEncoder(Id self, Sel) {
    if (fails(Failure::kNoEncoder)) return nullptr;
    Obj* encoder = autoreleased(make("MTLComputeCommandEncoder"));
    encoder->commands = obj(self);
    return id(encoder);
}

void setComputePipelineState(Id self, Sel, Id pipeline) { obj(self)->pending.function = obj(pipeline)->text; }

void setBuffer(Id self, Sel, Id buffer, UInteger offset, UInteger index) {
    if (offset != 0 || index > 2) return fault("buffer bound at an offset or past index 2");
    obj(self)->pending.buffers[index] = obj(buffer)->bufferIndex;
}

void dispatchThreads(Id self, Sel, Size grid, Size group) {
    Dispatch pass = obj(self)->pending;
    pass.grid[0] = grid.width, pass.grid[1] = grid.height, pass.grid[2] = grid.depth;
    pass.group[0] = group.width, pass.group[1] = group.height, pass.group[2] = group.depth;
    obj(self)->commands->passes.push_back(pass);
}

void endEncoding(Id, Sel) {}

void commit(Id self, Sel) {
    Obj* commands = obj(self);
    commands->committed = true;
    for (const Dispatch& pass : commands->passes) {
        active->record.dispatches.push_back(pass);
        if (!fails(Failure::kCommandError)) execute(pass);
    }
}

void waitUntilCompleted(Id self, Sel) {
    if (!obj(self)->committed) fault("waited on a command buffer never committed");
}

UInteger status(Id, Sel) { return fails(Failure::kCommandError) ? 5 : 4; }

Id error(Id, Sel) {
    return fails(Failure::kCommandError) ? id(autoreleased(text("NSError", "stand-in command error"))) : nullptr;
}

void releaseMethod(Id self, Sel) { release(obj(self)); }

// What a message to nil returns: zero.
UInteger nilMethod(Id, Sel) { return 0; }

void unanswered(Id self, Sel sel) { fault("unanswered: [" + obj(self)->cls + " " + name(sel) + "]"); }

template <typename Fn>
void (*method(Fn fn))() {
    return reinterpret_cast<void (*)()>(fn);
}

void addMethods(State& state) {
    auto& m = state.methods;
    m[{"class NSString", "stringWithUTF8String:"}] = method(&stringWithUTF8String);
    m[{"MTLDevice", "newLibraryWithSource:options:error:"}] = method(&newLibrary);
    m[{"MTLDevice", "newComputePipelineStateWithFunction:error:"}] = method(&newPipeline);
    m[{"MTLDevice", "newCommandQueue"}] = method(&newCommandQueue);
    m[{"MTLDevice", "newBufferWithBytes:length:options:"}] = method(&newBufferWithBytes);
    m[{"MTLDevice", "newBufferWithLength:options:"}] = method(&newBufferWithLength);
    m[{"MTLLibrary", "newFunctionWithName:"}] = method(&newFunctionWithName);
    m[{"MTLComputePipelineState", "maxTotalThreadsPerThreadgroup"}] = method(&maxTotalThreadsPerThreadgroup);
    m[{"MTLCommandQueue", "commandBuffer"}] = method(&commandBuffer);
    m[{"MTLCommandBuffer", "computeCommandEncoder"}] = method(&computeCommandEncoder);
    m[{"MTLCommandBuffer", "commit"}] = method(&commit);
    m[{"MTLCommandBuffer", "waitUntilCompleted"}] = method(&waitUntilCompleted);
    m[{"MTLCommandBuffer", "status"}] = method(&status);
    m[{"MTLCommandBuffer", "error"}] = method(&error);
    m[{"MTLComputeCommandEncoder", "setComputePipelineState:"}] = method(&setComputePipelineState);
    m[{"MTLComputeCommandEncoder", "setBuffer:offset:atIndex:"}] = method(&setBuffer);
    m[{"MTLComputeCommandEncoder", "dispatchThreads:threadsPerThreadgroup:"}] = method(&dispatchThreads);
    m[{"MTLComputeCommandEncoder", "endEncoding"}] = method(&endEncoding);
    m[{"MTLBuffer", "contents"}] = method(&contents);
    for (const char* cls : {"NSString", "NSError", "MTLDevice", "MTLLibrary", "MTLFunction", "MTLComputePipelineState",
                            "MTLCommandQueue", "MTLCommandBuffer", "MTLComputeCommandEncoder", "MTLBuffer"}) {
        m[{cls, "release"}] = method(&releaseMethod);
    }
}

// The C entry points.
Id getClass(const char* className) {
    auto found = active->classes.find(className);
    return found == active->classes.end() ? nullptr : id(found->second.get());
}

Sel registerName(const char* selector) {
    const std::string& interned = *active->selectors.insert(selector).first;
    return reinterpret_cast<Sel>(const_cast<std::string*>(&interned));
}

void* poolPush() {
    ++active->record.poolsPushed;
    active->pools.emplace_back();
    return reinterpret_cast<void*>(active->pools.size());
}

void poolPop(void* token) {
    ++active->record.poolsPopped;
    if (reinterpret_cast<size_t>(token) != active->pools.size()) return fault("pool popped out of order");
    for (Obj* o : active->pools.back()) release(o);
    active->pools.pop_back();
}

Id createSystemDefaultDevice() { return fails(Failure::kNoDevice) ? nullptr : id(make("MTLDevice")); }

void log(Id format, ...) {
    va_list args;
    va_start(args, format);
    Obj* argument = obj(va_arg(args, Id));
    va_end(args);
    std::string line = obj(format)->text;
    const size_t at = line.find("%@");
    if (at == std::string::npos) return fault("log format without %@: " + line);
    line.replace(at, 2, argument != nullptr ? argument->text : "(null)");
    active->record.logs.push_back(line);
}

}  // namespace

}  // namespace metal_stand_in
}  // namespace ormel

extern "C" void* varnokStandInLookup(void* self, void* selector) {
    using namespace ormel::metal_stand_in;
    if (self == nullptr) return reinterpret_cast<void*>(&nilMethod);
    Obj* receiver = obj(reinterpret_cast<ormel::objc::Id>(self));
    const std::string& message = name(reinterpret_cast<ormel::objc::Sel>(selector));
    if (receiver->references <= 0) fault("[" + receiver->cls + " " + message + "] after its release");
    auto found = active->methods.find({receiver->cls, message});
    return reinterpret_cast<void*>(found == active->methods.end() ? method(&unanswered) : found->second);
}

namespace ormel {
namespace metal_stand_in {

StandIn::StandIn(Failure failure) {
    active = new State;
    active->failure = failure;
    active->classes["NSString"] = std::make_unique<Obj>();
    active->classes["NSString"]->cls = "class NSString";
    addMethods(*active);
    active->runtime = objc::Runtime{&getClass,  &registerName,
                                    &varnokStandInMsgSend, &poolPush, &poolPop, &createSystemDefaultDevice, &log};
}

StandIn::~StandIn() {
    delete active;
    active = nullptr;
}

const objc::Runtime& StandIn::runtime() const { return active->runtime; }

const Record& StandIn::record() const { return active->record; }

std::vector<std::string> StandIn::liveObjects() const {
    std::vector<std::string> live;
    for (const auto& o : active->objects) {
        if (o->references > 0) live.push_back(o->cls);
    }
    std::sort(live.begin(), live.end());
    return live;
}

}  // namespace metal_stand_in
}  // namespace ormel
