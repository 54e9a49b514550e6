// Running the varnok program from tests and reading what it wrote.
#pragma once

#include <unistd.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "media/image_io.h"
#include "media/native_frame.h"

namespace cli_test {

struct RunResult {
    int status = -1;
    std::string output;   // stdout and stderr together
};

// A shell command's status and everything it printed.
inline RunResult shell(const std::string& command) {
    RunResult r;
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

inline RunResult run(const std::string& args) { return shell(std::string(VARNOK_EXE) + " " + args); }

inline bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

inline bool haveVarnok() { return exists(VARNOK_BUNDLE); }

// An empty folder of the test's own under the test temporary folder.
// Named by process too: two test runs on one machine must not share folders.
inline std::string freshDir(const std::string& name) {
    const std::string dir = ::testing::TempDir() + "varnok_cli_" + std::to_string(::getpid()) + "_" + name;
    std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
    return dir;
}

inline varnok::NativeFrame readFrame(const std::string& path) {
    varnok::NativeFrame f;
    std::string err;
    EXPECT_TRUE(varnok::readImageFile(path, &f, &err)) << err;
    return f;
}

}  // namespace cli_test
