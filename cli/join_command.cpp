// varnok join OUT.mp4: the parts that `render --chunk I/N` wrote beside
// OUT.mp4, checked and joined into it without re-encoding. Nothing is joined
// unless every part is there and sound, and OUT.mp4 appears only with every
// frame in it; the parts are removed only then.
#include <unistd.h>

#include <cstdio>
#include <set>

#include "cli/chunk_plan.h"
#include "cli/commands.h"
#include "media/media_path.h"
#include "media/video_concat.h"

namespace varnok {

namespace {

std::string describe(const VideoStreamFacts& f) {
    return f.codec + " " + f.pixelFormat + " " + std::to_string(f.width) + "x" + std::to_string(f.height) + " at " +
           f.rate + " fps";
}

// The one split whose parts are all there, or a message naming what is wrong.
bool completeSplit(const std::string& video, std::vector<ChunkPart>* parts, std::string* error) {
    const std::vector<ChunkPart> found = findChunkParts(video);
    if (found.empty()) {
        *error = "no parts of " + video + " to join (a chunk writes " + chunkPartPath(video, 0, 4) + " and so on)";
        return false;
    }
    std::set<int> counts;
    for (const ChunkPart& p : found) counts.insert(p.count);
    if (counts.size() > 1) {
        std::string names;
        for (int n : counts) names += (names.empty() ? "" : ", ") + chunkPartPath(video, 0, n);
        *error = "parts of " + video + " from different splits lie side by side (" + names +
                 "); remove the stale ones";
        return false;
    }
    const int count = *counts.begin();
    std::vector<bool> present(static_cast<size_t>(count), false);
    for (const ChunkPart& p : found) present[static_cast<size_t>(p.index)] = true;
    std::string missing;
    int missingCount = 0;
    for (int i = 0; i < count; ++i) {
        if (present[static_cast<size_t>(i)]) continue;
        ++missingCount;
        missing += (missing.empty() ? "" : "; ") + chunkPartPath(video, i, count);
        const std::vector<std::string> unfinished = findUnfinishedParts(video, i, count);
        missing += unfinished.empty() ? " (its chunk failed or never ran)"
                                      : " (its chunk did not finish: " + unfinished.front() + " is left)";
    }
    if (missingCount > 0) {
        *error = std::to_string(missingCount) + " of " + std::to_string(count) + " parts of " + video +
                 (missingCount == 1 ? " is" : " are") + " missing: " + missing + "; nothing joined";
        return false;
    }
    *parts = found;
    return true;
}

}  // namespace

int runJoinCommand(const CliOptions& o) {
    const std::string& video = o.output;
    if (classifyPath(video).kind != MediaKind::Video)
        return fail("join takes a video (" + video + " is not one); chunks of an image sequence "
                    "write their frames under their final names and need no join");
    std::string error;
    std::vector<ChunkPart> parts;
    if (!completeSplit(video, &parts, &error)) return fail(error);

    // Streams are copied, so every part must be the same kind of stream and
    // start on a key frame; each part's frames are counted to know the total.
    int expected = 0;
    VideoStreamFacts first;
    std::vector<std::string> paths;
    std::vector<int> packets;
    for (const ChunkPart& p : parts) {
        const std::string which = "part " + std::to_string(p.index) + " of " + std::to_string(p.count) + " (" +
                                  p.path + ")";
        VideoStreamFacts f;
        if (!probeVideoStream(p.path, &f, &error)) return fail(which + " cannot be read: " + error + "; nothing joined");
        if (f.packets <= 0) return fail(which + " holds no frames; nothing joined");
        if (!f.startsOnKeyFrame) return fail(which + " does not start on a key frame; nothing joined");
        if (p.index == 0) first = f;
        else if (describe(f) != describe(first))
            return fail(which + " is " + describe(f) + " but part 0 is " + describe(first) + "; nothing joined");
        expected += f.packets;
        packets.push_back(f.packets);
        paths.push_back(p.path);
    }

    const std::string temp = temporarySibling(video);
    const std::string list = temp.substr(0, temp.find_last_of('.')) + ".ffconcat";
    // Decoding the whole result proves every frame of every part is in it
    // and decodes, in one pass.
    int decoded = -1;
    if (concatenateVideos(paths, list, temp, &error)) {
        decoded = decodeVideoFrames(temp, &error);
        if (decoded >= 0 && decoded != expected)
            error = "it holds " + std::to_string(decoded) + " frames where the parts hold " + std::to_string(expected);
    }
    if (decoded != expected) {
        ::unlink(temp.c_str());
        // Only now is each part decoded, to name the one at fault.
        for (size_t i = 0; i < parts.size(); ++i) {
            std::string why;
            const int frames = decodeVideoFrames(parts[i].path, &why);
            if (frames >= 0 && frames != packets[i])
                why = std::to_string(frames) + " of its " + std::to_string(packets[i]) + " frames decode";
            if (frames != packets[i])
                return fail("part " + std::to_string(parts[i].index) + " of " + std::to_string(parts[i].count) +
                            " (" + parts[i].path + ") is damaged: " + why + "; nothing joined");
        }
        return fail("cannot join the parts of " + video + ": " + error + "; nothing joined");
    }
    if (std::rename(temp.c_str(), video.c_str()) != 0) {
        ::unlink(temp.c_str());
        return fail("cannot move " + temp + " to " + video);
    }
    for (const std::string& p : paths) ::unlink(p.c_str());
    if (!o.quiet)
        std::fprintf(stderr, "joined %zu parts, %d frames, into %s\n", paths.size(), decoded, video.c_str());
    return 0;
}

}  // namespace varnok
