#include "media/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace varnok {

bool writeWholeFile(const std::string& path, const void* data, size_t size, std::string* error) {
    auto fail = [&](int err) {
        *error = "cannot write " + path + ": " + std::strerror(err);
        return false;
    };
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return fail(errno);
    // Only a regular file is ours to remove on failure, never what a link led to.
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    auto removeFile = [&] {
        if (regular) ::unlink(path.c_str());
    };
    const auto* p = static_cast<const char*>(data);
    size_t left = size;
    while (left > 0) {
        const ssize_t put = ::write(fd, p, left);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            // A zero-byte write makes no progress; call it what it nearly always is.
            const int err = put < 0 ? errno : ENOSPC;
            ::close(fd);
            removeFile();
            return fail(err);
        }
        p += put;
        left -= static_cast<size_t>(put);
    }
    // Network and some fuse file systems report a failed write only here.
    if (::close(fd) != 0) {
        const int err = errno;
        removeFile();
        return fail(err);
    }
    return true;
}

}  // namespace varnok
