// What a path on the command line names: an image sequence pattern, one
// image, or a video file.
#pragma once

#include <string>
#include <vector>

namespace varnok {

enum class MediaKind { Sequence, Image, Video };

struct MediaPath {
    MediaKind kind = MediaKind::Image;
    std::string path;     // as given
    std::string prefix;   // sequences: text before the frame number
    std::string suffix;   // sequences: text after it
    int padding = 0;      // sequences: minimum digits
    std::string extension;   // lower case, without the dot
};

// Recognises "name.%04d.png", "name.%d.png" and "name.####.exr".
MediaPath classifyPath(const std::string& path);
bool isVideoExtension(const std::string& ext);
std::string frameFileName(const MediaPath& m, int frame);
// Frame numbers of the sequence's files that exist, ascending.
std::vector<int> findFrames(const MediaPath& m);
// The path of a temporary sibling that keeps the extension (formats are
// chosen by it): "dir/name.partial-<pid>.ext".
std::string temporarySibling(const std::string& path);
bool fileExists(const std::string& path);

}  // namespace varnok
