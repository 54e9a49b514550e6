// The bundle carries its own copy of the C++ runtime (hosts ship theirs), and
// that copy sets aside an emergency pool for exceptions (about 71 KB) when the
// library is mapped, which it never frees: a host that loads and unloads the
// bundle repeatedly would lose that much each time. The runtime offers
// __gnu_cxx::__freeres for exactly this (it is how leak checkers release it);
// it runs here when the library is unmapped or the process ends, after
// which nothing in this copy of the runtime throws again. Only built when the
// runtime is linked in: with a shared runtime the pool belongs to the process.
namespace __gnu_cxx {
void __freeres();
}

namespace {

struct ReleaseRuntimeOnUnload {
    ~ReleaseRuntimeOnUnload() { __gnu_cxx::__freeres(); }
} releaseRuntimeOnUnload;

}  // namespace
