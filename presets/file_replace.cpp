#include "presets/file_replace.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <fcntl.h>
#include <unistd.h>

namespace ormel {
namespace {

bool writeAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// As many links as the kernel follows before it gives up with ELOOP.
constexpr int kMaxLinkHops = 40;

// Opening a path for writing follows symbolic links, so replacing must too, or
// the link would be swapped for a plain file. False for a loop of links.
bool resolveLinks(const std::string& path, std::string& resolved) {
    namespace fs = std::filesystem;
    fs::path target(path);
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(target, ec))) {
            resolved = target.string();
            return true;
        }
        const fs::path link = fs::read_symlink(target, ec);
        if (ec) return false;
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    return false;
}

// A fresh short name in the target's folder per process and attempt: short so a
// target name at the length limit still has room; O_EXCL keeps two writers of
// the same target from sharing one temporary file.
int createTemporary(const std::string& path, std::string& tempPath) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name =
            ".varnok-" + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
        tempPath = (folder / name).string();
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

bool replaceFileContent(const std::string& linkedPath, const std::string& content) {
    std::string path;
    if (linkedPath.empty() || !resolveLinks(linkedPath, path)) return false;
    std::string tempPath;
    const int fd = createTemporary(path, tempPath);
    if (fd < 0) return false;
    bool ok = writeAll(fd, content);
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && std::rename(tempPath.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(tempPath.c_str());
    return ok;
}

}  // namespace ormel
