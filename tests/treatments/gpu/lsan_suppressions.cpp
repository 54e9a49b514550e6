// LeakSanitizer stops the process on leaks at exit. The OpenCL runtime CI
// uses (PoCL) leaves its LLVM compiler state allocated after the first kernel
// build; those are its leaks, not ours, so they are named here.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libpocl\n"
           "leak:libLLVM\n"
           "leak:libclang\n"
           "leak:libpocl-devices\n";
}
#endif
