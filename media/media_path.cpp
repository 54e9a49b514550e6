#include "media/media_path.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace varnok {

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string extensionOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return lower(path.substr(dot + 1));
}

}  // namespace

bool isVideoExtension(const std::string& ext) {
    return ext == "mp4" || ext == "mov" || ext == "mkv" || ext == "webm" || ext == "avi" || ext == "m4v";
}

MediaPath classifyPath(const std::string& path) {
    MediaPath m;
    m.path = path;
    m.extension = extensionOf(path);
    const size_t slash = path.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    // printf style: %d or %0Nd
    const size_t pct = path.find('%', nameStart);
    if (pct != std::string::npos) {
        size_t i = pct + 1;
        int pad = 0;
        while (i < path.size() && std::isdigit(static_cast<unsigned char>(path[i]))) {
            pad = std::min(pad * 10 + (path[i] - '0'), 32);
            ++i;
        }
        if (i < path.size() && path[i] == 'd') {
            m.kind = MediaKind::Sequence;
            m.prefix = path.substr(0, pct);
            m.suffix = path.substr(i + 1);
            m.padding = pad;
            return m;
        }
    }
    const size_t hash = path.find('#', nameStart);
    if (hash != std::string::npos) {
        size_t end = hash;
        while (end < path.size() && path[end] == '#') ++end;
        m.kind = MediaKind::Sequence;
        m.prefix = path.substr(0, hash);
        m.suffix = path.substr(end);
        m.padding = static_cast<int>(end - hash);
        return m;
    }
    m.kind = isVideoExtension(m.extension) ? MediaKind::Video : MediaKind::Image;
    return m;
}

std::string frameFileName(const MediaPath& m, int frame) {
    if (m.kind != MediaKind::Sequence) return m.path;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%0*d", m.padding, frame);
    return m.prefix + buf + m.suffix;
}

std::vector<int> findFrames(const MediaPath& m) {
    std::vector<int> frames;
    if (m.kind != MediaKind::Sequence) return frames;
    const size_t slash = m.prefix.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : m.prefix.substr(0, slash == 0 ? 1 : slash);
    const std::string head = slash == std::string::npos ? m.prefix : m.prefix.substr(slash + 1);
    const std::string& tail = m.suffix;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return frames;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() <= head.size() + tail.size()) continue;
        if (name.compare(0, head.size(), head) != 0) continue;
        if (name.compare(name.size() - tail.size(), tail.size(), tail) != 0) continue;
        const std::string digits = name.substr(head.size(), name.size() - head.size() - tail.size());
        size_t start = digits[0] == '-' ? 1 : 0;
        if (digits.size() <= start || digits.size() - start > 9) continue;
        if (!std::all_of(digits.begin() + static_cast<long>(start), digits.end(),
                         [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
            continue;
        const int frame = std::atoi(digits.c_str());
        // Only names this pattern would write: "7" is not frame 7 of a %04d sequence.
        char buf[48];
        std::snprintf(buf, sizeof buf, "%0*d", m.padding, frame);
        if (digits == buf) frames.push_back(frame);
    }
    ::closedir(d);
    std::sort(frames.begin(), frames.end());
    return frames;
}

std::string temporarySibling(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    std::string stem = path, ext;
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        stem = path.substr(0, dot);
        ext = path.substr(dot);
    }
    return stem + ".partial-" + std::to_string(::getpid()) + ext;
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace varnok
