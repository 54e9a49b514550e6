#include "cli/plugin_location.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

// The build tree's bundle, and the installed bundle relative to the installed
// program's folder; both set by cli/CMakeLists.txt.
#ifndef VARNOK_DEFAULT_PLUGIN
#define VARNOK_DEFAULT_PLUGIN "Varnok.ofx.bundle"
#endif
#ifndef VARNOK_INSTALLED_PLUGIN
#define VARNOK_INSTALLED_PLUGIN "../OFX/Plugins/Varnok.ofx.bundle"
#endif

namespace varnok {

namespace {

// This program's folder, symbolic links resolved; "" when unknown.
std::string programFolder() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "";
    const std::string exe(buf, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? "" : exe.substr(0, slash);
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string defaultPluginPath() {
    // Installed first: an installed program must not pick up a build tree
    // that happens to exist at the path it was built in.
    const std::string folder = programFolder();
    if (!folder.empty()) {
        const std::string installed = folder + "/" + VARNOK_INSTALLED_PLUGIN;
        if (isFolder(installed)) {
            char resolved[PATH_MAX];
            return ::realpath(installed.c_str(), resolved) ? std::string(resolved) : installed;
        }
    }
    return VARNOK_DEFAULT_PLUGIN;
}

}  // namespace varnok
