#include "media/subprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "media/fd_io.h"

extern char** environ;

namespace varnok {

namespace {

std::vector<char*> cArgs(const std::vector<std::string>& argv) {
    std::vector<char*> out;
    for (const auto& a : argv) out.push_back(const_cast<char*>(a.c_str()));
    out.push_back(nullptr);
    return out;
}

// The children pass a frame-sized packet for every frame through the pipe.
// Under glibc's sliding threshold, allocations of that size are fresh
// mappings, each unmapped again (with a TLB flush on every processor) and
// faulted back in page by page for the next frame. A fixed threshold above a
// 1080p float frame keeps them in the heap, where they are reused, and a high
// trim threshold stops the heap from handing them back. glibc reads this at
// start-up only; other C libraries ignore it. A user's own setting stands.
constexpr char kChildTunables[] =
    "GLIBC_TUNABLES=glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=1073741824";

std::vector<char*> childEnvironment() {
    std::vector<char*> out;
    bool tuned = false;
    for (char** e = environ; *e != nullptr; ++e) {
        tuned = tuned || std::strncmp(*e, "GLIBC_TUNABLES=", 15) == 0;
        out.push_back(*e);
    }
    if (!tuned) out.push_back(const_cast<char*>(kChildTunables));
    out.push_back(nullptr);
    return out;
}

}  // namespace

Subprocess::~Subprocess() {
    if (pid_ > 0) {
        kill();
        wait();
    }
    if (!errPath_.empty()) ::unlink(errPath_.c_str());
}

bool Subprocess::start(const std::vector<std::string>& argv, Pipe pipe, std::string* error, bool withoutHugePages) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
#ifdef F_SETPIPE_SZ
    // Frames are megabytes: a larger pipe lets the two sides hand them over
    // in a few large steps instead of a hundred 64 KB ones. Best effort; the
    // system's limit may refuse it.
    ::fcntl(fds[0], F_SETPIPE_SZ, 1 << 20);
#endif
    char tmpl[] = "/tmp/varnok-stderr-XXXXXX";
    const int errFd = ::mkstemp(tmpl);
    if (errFd >= 0) errPath_ = tmpl;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (pipe == Pipe::ToChild) {
        posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    } else {
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    if (errFd >= 0) posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    std::vector<char*> args = cArgs(argv);
    std::vector<char*> env = childEnvironment();
#if defined(__linux__) && defined(PR_SET_THP_DISABLE)
    // The setting is kept across exec, so the child is spawned while this
    // process has it and it is put back at once (left alone if already set).
    const bool switchOff = withoutHugePages && ::prctl(PR_GET_THP_DISABLE, 0, 0, 0, 0) == 0 &&
                           ::prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0) == 0;
#else
    (void)withoutHugePages;
#endif
    const int rc = ::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), env.data());
#if defined(__linux__) && defined(PR_SET_THP_DISABLE)
    if (switchOff) ::prctl(PR_SET_THP_DISABLE, 0, 0, 0, 0);
#endif
    posix_spawn_file_actions_destroy(&actions);
    if (errFd >= 0) ::close(errFd);
    if (rc != 0) {
        pid_ = -1;
        ::close(fds[0]);
        ::close(fds[1]);
        *error = "cannot run " + argv[0] + ": " + std::strerror(rc);
        return false;
    }
    if (pipe == Pipe::ToChild) {
        ::close(fds[0]);
        fd_ = fds[1];
    } else {
        ::close(fds[1]);
        fd_ = fds[0];
    }
    return true;
}

bool Subprocess::readExactly(void* data, size_t n) { return readFully(fd_, data, n); }

bool Subprocess::writeAll(const void* data, size_t n) { return writeFully(fd_, data, n); }

void Subprocess::closePipe() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

int Subprocess::wait() {
    closePipe();
    if (pid_ <= 0) return -1;
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Subprocess::kill() {
    if (pid_ > 0) ::kill(pid_, SIGTERM);
}

std::string Subprocess::lastErrorLine() const {
    std::ifstream in(errPath_);
    std::string line, last;
    while (std::getline(in, line))
        if (!line.empty()) last = line;
    return last;
}

std::string captureOutput(const std::vector<std::string>& argv, int* status) {
    Subprocess p;
    std::string error;
    std::string out;
    if (!p.start(argv, Subprocess::Pipe::FromChild, &error)) {
        if (status) *status = -1;
        return out;
    }
    char c;
    while (p.readExactly(&c, 1)) out.push_back(c);
    const int st = p.wait();
    if (status) *status = st;
    return out;
}

}  // namespace varnok
