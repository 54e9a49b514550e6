#include "media/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "media/fd_io.h"

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
    if (!writeFully(fd, data, size)) {
        const int err = errno;
        ::close(fd);
        removeFile();
        return fail(err);
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
