// Zig links no crtbeginS.o into a shared library, and crtbeginS.o is what
// runs the library's registered static destructors (__cxa_finalize with the
// library's __dso_handle) when it is unloaded. Without this, a host that
// unloads the bundle would call those destructors at exit, into unmapped code.
extern "C" void __cxa_finalize(void* dso);
extern "C" char __dso_handle;

namespace {

__attribute__((destructor)) void finalizeOnUnload() { __cxa_finalize(&__dso_handle); }

}  // namespace
