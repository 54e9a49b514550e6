#include "cli/chunk_plan.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "media/media_path.h"

namespace varnok {

namespace {

struct Split {
    std::string dir;    // "" for the current folder
    std::string stem;   // file name without the extension
    std::string ext;    // ".mp4", or ""
};

Split split(const std::string& path) {
    Split s;
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (slash != std::string::npos) s.dir = path.substr(0, slash + 1);
    const size_t dot = name.find_last_of('.');
    s.stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    s.ext = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
    return s;
}

bool allDigits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

std::vector<std::string> listNames(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return names;
    while (dirent* e = ::readdir(d)) names.push_back(e->d_name);
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

bool parseChunk(const std::string& text, int* index, int* count) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    const std::string a = text.substr(0, slash), b = text.substr(slash + 1);
    if (!allDigits(a) || !allDigits(b) || a.size() > 6 || b.size() > 6) return false;
    *index = std::atoi(a.c_str());
    *count = std::atoi(b.c_str());
    return *count >= 1 && *index < *count;
}

bool chunkFrames(const std::vector<int>& frames, int index, int count, std::vector<int>* out, std::string* error) {
    if (count < 1 || index < 0 || index >= count) {
        *error = "--chunk expects I/N with 0 <= I < N";
        return false;
    }
    const size_t n = frames.size(), parts = static_cast<size_t>(count), i = static_cast<size_t>(index);
    if (parts > n) {
        *error = "cannot split " + std::to_string(n) + " frame" + (n == 1 ? "" : "s") + " into " +
                 std::to_string(count) + " chunks";
        return false;
    }
    const size_t base = n / parts, extra = n % parts;
    const size_t first = i * base + std::min(i, extra);
    const size_t size = base + (i < extra ? 1 : 0);
    out->assign(frames.begin() + static_cast<long>(first), frames.begin() + static_cast<long>(first + size));
    return true;
}

bool chunkRender(const CliOptions& o, std::vector<int>* frames, std::string* output, std::string* error) {
    if (o.chunkCount <= 0) return true;
    std::vector<int> mine;
    if (!chunkFrames(*frames, o.chunkIndex, o.chunkCount, &mine, error)) return false;
    *frames = std::move(mine);
    // Image sequences keep their names: each chunk writes only its own frames.
    if (classifyPath(o.output).kind == MediaKind::Video) *output = chunkPartPath(o.output, o.chunkIndex, o.chunkCount);
    return true;
}

std::string chunkPartPath(const std::string& video, int index, int count) {
    const Split s = split(video);
    char buf[64];
    std::snprintf(buf, sizeof buf, ".part-%04d-of-%04d", index, count);
    return s.dir + s.stem + buf + s.ext;
}

std::vector<ChunkPart> findChunkParts(const std::string& video) {
    const Split s = split(video);
    const std::string head = s.stem + ".part-";
    std::vector<ChunkPart> parts;
    for (const std::string& name : listNames(s.dir)) {
        if (name.size() <= head.size() + s.ext.size() || name.compare(0, head.size(), head) != 0 ||
            name.compare(name.size() - s.ext.size(), s.ext.size(), s.ext) != 0)
            continue;
        // "IIII-of-NNNN" between the two
        const std::string mid = name.substr(head.size(), name.size() - head.size() - s.ext.size());
        const size_t of = mid.find("-of-");
        if (of == std::string::npos) continue;
        const std::string a = mid.substr(0, of), b = mid.substr(of + 4);
        if (!allDigits(a) || !allDigits(b) || a.size() > 6 || b.size() > 6) continue;
        ChunkPart p;
        p.index = std::atoi(a.c_str());
        p.count = std::atoi(b.c_str());
        // Only names a chunk writes: "part-3-of-8" is not ours.
        if (chunkPartPath(video, p.index, p.count) != s.dir + name) continue;
        p.path = s.dir + name;
        parts.push_back(p);
    }
    std::sort(parts.begin(), parts.end(), [](const ChunkPart& x, const ChunkPart& y) {
        return x.count != y.count ? x.count < y.count : x.index < y.index;
    });
    return parts;
}

std::vector<std::string> findUnfinishedParts(const std::string& video, int index, int count) {
    // A part is written as "out.part-0003-of-0008.partial-PID.mp4" until its chunk succeeds.
    const Split part = split(chunkPartPath(video, index, count));
    const std::string head = part.stem + ".partial-";
    std::vector<std::string> found;
    for (const std::string& name : listNames(part.dir))
        if (name.size() > head.size() + part.ext.size() && name.compare(0, head.size(), head) == 0 &&
            name.compare(name.size() - part.ext.size(), part.ext.size(), part.ext) == 0)
            found.push_back(part.dir + name);
    return found;
}

}  // namespace varnok
