#include "cli/crash_report.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "host/ofx_host.h"

namespace varnok {

namespace {

// Two lines, the one being written and the one the handler may read, so a
// crash never sees half a line.
char gLines[2][1024];
std::atomic<int> gCurrent{0};

struct OutputFile {
    std::string temp, final;
    std::atomic<bool> done{false};
};
// Reserved before the render, appended to by the sink's threads under the
// mutex, read by the handler without it (up to `gFileCount`, published last).
std::mutex gFilesMutex;
std::vector<std::unique_ptr<OutputFile>> gFiles;
std::atomic<size_t> gFileCount{0};

void setLine(const char* text) {
    const int next = 1 - gCurrent.load(std::memory_order_relaxed);
    std::snprintf(gLines[next], sizeof gLines[next], "%s", text);
    gCurrent.store(next, std::memory_order_release);
}

void watchAction(const char* pluginId, const char* action, double time) {
    if (!action) {
        char line[1024];
        std::snprintf(line, sizeof line, "varnok: crashed outside any plug-in action (%s had finished its own)",
                      pluginId);
        setLine(line);
        return;
    }
    char line[1024];
    const std::string label = ofxhost::actionLabel(action);
    if (std::isfinite(time))
        std::snprintf(line, sizeof line, "varnok: plug-in %s crashed in %s at frame %g", pluginId, label.c_str(), time);
    else
        std::snprintf(line, sizeof line, "varnok: plug-in %s crashed in %s", pluginId, label.c_str());
    setLine(line);
}

const char* signalName(int sig) {
    switch (sig) {
        case SIGSEGV: return "SIGSEGV (invalid memory access)";
        case SIGBUS: return "SIGBUS (bus error)";
        case SIGFPE: return "SIGFPE (arithmetic error)";
        case SIGILL: return "SIGILL (illegal instruction)";
        case SIGABRT: return "SIGABRT (aborted)";
        default: return "a fatal signal";
    }
}

void put(const char* s) {
    ssize_t n = ::write(STDERR_FILENO, s, std::strlen(s));
    (void)n;
}

// Only async-signal-safe calls from here: write, nanosleep, rename, unlink, raise.
void onFatalSignal(int sig) {
    put(gLines[gCurrent.load(std::memory_order_acquire)]);
    put(": ");
    put(signalName(sig));
    put("\n");
    const size_t n = gFileCount.load(std::memory_order_acquire);
    // A frame handed to the sink is whole in memory; its encoding thread
    // still runs, so it is given a moment (2 s at most) to finish the file.
    for (int wait = 0; wait < 2000; ++wait) {
        bool pending = false;
        for (size_t i = 0; i < n; ++i)
            pending = pending || (!gFiles[i]->final.empty() && !gFiles[i]->done.load(std::memory_order_acquire));
        if (!pending) break;
        const timespec ms{0, 1000000};
        ::nanosleep(&ms, nullptr);
    }
    for (size_t i = 0; i < n; ++i) {
        const OutputFile& f = *gFiles[i];
        if (!f.final.empty() && f.done.load(std::memory_order_acquire)) ::rename(f.temp.c_str(), f.final.c_str());
        else ::unlink(f.temp.c_str());
    }
    // The handler was reset on entry: the signal now ends the process.
    ::raise(sig);
}

}  // namespace

void installCrashReport() {
    setLine("varnok: crashed outside any plug-in action");
    ofxhost::setActionWatcher(watchAction);
    // A plug-in that overflows its stack still gets its line.
    static char altStack[1 << 16];
    stack_t ss{};
    ss.ss_sp = altStack;
    ss.ss_size = sizeof altStack;
    ::sigaltstack(&ss, nullptr);
    struct sigaction sa {};
    sa.sa_handler = onFatalSignal;
    sa.sa_flags = SA_RESETHAND | SA_ONSTACK;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) ::sigaction(sig, &sa, nullptr);
}

void reserveCrashFiles(size_t count) {
    std::lock_guard<std::mutex> lock(gFilesMutex);
    gFiles.reserve(gFiles.size() + count + 1);
}

void noteOutputFile(const std::string& temp, const std::string& final, bool done) {
    std::lock_guard<std::mutex> lock(gFilesMutex);
    const size_t n = gFileCount.load(std::memory_order_relaxed);
    for (size_t i = n; i-- > 0;)
        if (gFiles[i]->temp == temp) {
            gFiles[i]->done.store(done, std::memory_order_release);
            return;
        }
    // Past the reserved room the list would move under a handler's feet:
    // such a file goes unlisted, and a crash leaves it as it is.
    if (gFiles.size() == gFiles.capacity()) return;
    auto f = std::make_unique<OutputFile>();
    f->temp = temp;
    f->final = final;
    f->done.store(done);
    gFiles.push_back(std::move(f));
    gFileCount.store(gFiles.size(), std::memory_order_release);
}

}  // namespace varnok
