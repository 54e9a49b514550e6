// What running the plug-in in a child process would cost, beside what the
// in-process crash report costs: one suite call made across processes (a
// pipe round trip with a child), one float RGBA frame sent to a child and
// back (the least a render across processes moves without shared memory),
// and a Varnok render with the crash report's action watcher installed.
// The ratio reporter of host_bench prints each against the memcpy; compare
// them with BM_PluginRenderDefaults of the same run.
#include <benchmark/benchmark.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "cli/crash_report.h"
#include "host/ofx_host.h"
#include "media/fd_io.h"

// In host_bench.cpp: Varnok's render of one demo frame.
void pluginRender(benchmark::State& state, const std::map<std::string, ofxhost::ParamValue>& values, bool lend);

namespace {

// One float RGBA 1080p frame, rounded up to whole 64 KB slices.
constexpr size_t kFrameBytes = (size_t{1920} * 1080 * 16 + 65535) / 65536 * 65536;

// A child that sends back every message of `size` bytes it receives (a frame
// goes in slices of 64 KB, a pipe's room, each sent back before the next).
struct EchoChild {
    pid_t pid = -1;
    int toChild = -1, fromChild = -1;
    explicit EchoChild(size_t size) {
        int down[2], up[2];
        if (::pipe(down) != 0 || ::pipe(up) != 0) return;
        pid = ::fork();
        if (pid == 0) {
            ::close(down[1]);
            ::close(up[0]);
            std::vector<char> buf(size);
            while (varnok::readFully(down[0], buf.data(), size) && varnok::writeFully(up[1], buf.data(), size)) {
            }
            ::_exit(0);
        }
        ::close(down[0]);
        ::close(up[1]);
        toChild = down[1];
        fromChild = up[0];
    }
    ~EchoChild() {
        ::close(toChild);
        ::close(fromChild);
        if (pid > 0) ::waitpid(pid, nullptr, 0);
    }
};

void BM_IsolationSuiteCallRoundTrip(benchmark::State& state) {
    EchoChild child(64);
    char msg[64] = {1};
    for (auto _ : state) {
        if (!varnok::writeFully(child.toChild, msg, sizeof msg) || !varnok::readFully(child.fromChild, msg, sizeof msg))
            state.SkipWithError("child gone");
    }
}

void BM_IsolationFrameThereAndBack(benchmark::State& state) {
    EchoChild child(65536);
    std::vector<char> out(kFrameBytes, 1), back(kFrameBytes);
    for (auto _ : state) {
        for (size_t at = 0; at < kFrameBytes; at += 65536) {
            if (!varnok::writeFully(child.toChild, out.data() + at, 65536) || !varnok::readFully(child.fromChild, back.data() + at, 65536)) {
                state.SkipWithError("child gone");
                break;
            }
        }
        benchmark::DoNotOptimize(back.data());
    }
}

void BM_PluginRenderWithCrashWatcher(benchmark::State& state) {
    varnok::installCrashReport();
    pluginRender(state, {}, false);
    ofxhost::setActionWatcher(nullptr);
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) ::signal(sig, SIG_DFL);
}

}  // namespace

BENCHMARK(BM_IsolationSuiteCallRoundTrip)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IsolationFrameThereAndBack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PluginRenderWithCrashWatcher)->Unit(benchmark::kMillisecond);
