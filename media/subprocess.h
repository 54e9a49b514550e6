// A child program with one pipe to its standard input or from its standard
// output; its standard error goes to a file kept for error messages.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace varnok {

class Subprocess {
public:
    enum class Pipe { ToChild, FromChild };
    Subprocess() = default;
    ~Subprocess();
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    // argv[0] is looked up in PATH. With `withoutHugePages` the child runs
    // with transparent huge pages off (where the system has them), whatever
    // it asks for.
    bool start(const std::vector<std::string>& argv, Pipe pipe, std::string* error, bool withoutHugePages = false);
    // Reads exactly n bytes; false at end of stream or on error.
    bool readExactly(void* data, size_t n);
    bool writeAll(const void* data, size_t n);
    void closePipe();
    // Closes the pipe and waits; the exit status (-1 when killed or not started).
    int wait();
    void kill();
    // The last line the program wrote to its standard error.
    std::string lastErrorLine() const;
    bool running() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    std::string errPath_;
};

// Runs a program to completion and returns its standard output ("" on failure).
std::string captureOutput(const std::vector<std::string>& argv, int* status);

}  // namespace varnok
