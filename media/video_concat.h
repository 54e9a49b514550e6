// Joining video files end to end without re-encoding (ffmpeg's concat
// demuxer, streams copied), and the checks that make such a join safe.
#pragma once

#include <string>
#include <vector>

namespace varnok {

// What must agree between files for their streams to be copied end to end.
struct VideoStreamFacts {
    std::string codec, pixelFormat, rate;   // rate as ffprobe gives it, "24/1"
    int width = 0, height = 0;
    int packets = 0;                        // frames, counted from the container's packets
    bool startsOnKeyFrame = false;
};

bool probeVideoStream(const std::string& path, VideoStreamFacts* facts, std::string* error);

// Decodes every frame of the first video stream, stopping at the first
// decoder error; the number of frames, or -1 with `*error` set.
int decodeVideoFrames(const std::string& path, std::string* error);

// Writes `videos` one after the other into `output` with their streams
// copied. `listPath` is the concat list, written beside them and removed.
bool concatenateVideos(const std::vector<std::string>& videos, const std::string& listPath,
                       const std::string& output, std::string* error);

}  // namespace varnok
