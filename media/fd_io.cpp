#include "media/fd_io.h"

#include <unistd.h>

#include <cerrno>

namespace varnok {

namespace {

// `transfer` moves at most n bytes at p, returning what read(2) or write(2) do.
template <class Byte, class Transfer>
bool transferFully(Byte* p, size_t size, int noProgressErrno, Transfer transfer) {
    while (size > 0) {
        const ssize_t done = transfer(p, size);
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) return false;
        if (done == 0) {
            errno = noProgressErrno;
            return false;
        }
        p += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

}  // namespace

bool readFully(int fd, void* data, size_t size) {
    return transferFully(static_cast<char*>(data), size, 0,
                         [fd](char* p, size_t n) { return ::read(fd, p, n); });
}

bool writeFully(int fd, const void* data, size_t size) {
    return transferFully(static_cast<const char*>(data), size, ENOSPC,
                         [fd](const char* p, size_t n) { return ::write(fd, p, n); });
}

}  // namespace varnok
