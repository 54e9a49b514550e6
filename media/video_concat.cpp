#include "media/video_concat.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "media/file_write.h"
#include "media/subprocess.h"

namespace varnok {

namespace {

// Standard output of a program run to its end; false with the last line it
// wrote to standard error when it failed, or, when `strict`, when it wrote
// any (ffprobe reports a cut-short file and still exits 0).
bool runForOutput(const std::vector<std::string>& argv, std::string* out, std::string* error, bool strict = false) {
    Subprocess p;
    if (!p.start(argv, Subprocess::Pipe::FromChild, error)) return false;
    char c;
    while (p.readExactly(&c, 1)) out->push_back(c);
    const std::string why = p.lastErrorLine();
    if (p.wait() != 0 || (strict && !why.empty())) {
        *error = argv[0] + " failed" + (why.empty() ? std::string() : ": " + why);
        return false;
    }
    return true;
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name in an ffconcat list: single-quoted, quotes escaped as in a shell.
std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

}  // namespace

bool probeVideoStream(const std::string& path, VideoStreamFacts* f, std::string* error) {
    std::string out;
    if (!runForOutput({"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets", "-show_entries",
                       "stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_read_packets", "-of",
                       "default=noprint_wrappers=1", path},
                      &out, error, true))
        return false;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "codec_name") f->codec = value;
        else if (key == "pix_fmt") f->pixelFormat = value;
        else if (key == "r_frame_rate") f->rate = value;
        else if (key == "width") f->width = std::atoi(value.c_str());
        else if (key == "height") f->height = std::atoi(value.c_str());
        else if (key == "nb_read_packets") f->packets = std::atoi(value.c_str());
    }
    if (f->codec.empty() || f->width <= 0 || f->height <= 0) {
        *error = "no video stream";
        return false;
    }
    out.clear();
    if (!runForOutput({"ffprobe", "-v", "error", "-select_streams", "v:0", "-read_intervals", "%+#1",
                       "-show_entries", "packet=flags", "-of", "csv=p=0", path},
                      &out, error, true))
        return false;
    if (out.empty()) {
        *error = "its first frame cannot be read";
        return false;
    }
    f->startsOnKeyFrame = out[0] == 'K';
    return true;
}

int decodeVideoFrames(const std::string& path, std::string* error) {
    // One checksum line per decoded frame; -xerror stops at damage instead of concealing it.
    std::string out;
    if (!runForOutput({"ffmpeg", "-v", "error", "-nostdin", "-xerror", "-i", path, "-map", "0:v:0", "-f",
                       "framecrc", "-"},
                      &out, error, true))
        return -1;
    int frames = 0;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty() && line[0] != '#') ++frames;
    return frames;
}

bool concatenateVideos(const std::vector<std::string>& videos, const std::string& listPath,
                       const std::string& output, std::string* error) {
    // Names relative to the list, which sits beside the videos.
    std::string list = "ffconcat version 1.0\n";
    for (const std::string& v : videos) list += "file " + quoted(baseName(v)) + "\n";
    if (!writeWholeFile(listPath, list.data(), list.size(), error)) return false;
    std::vector<std::string> args = {"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "concat", "-safe", "0",
                                     "-i", listPath, "-map", "0", "-c", "copy"};
    const std::string ext = output.substr(output.find_last_of('.') + 1);
    if (ext == "mp4" || ext == "mov" || ext == "m4v") {
        args.push_back("-movflags");
        args.push_back("+faststart");
    }
    args.push_back(output);
    std::string ignored;
    const bool ok = runForOutput(args, &ignored, error);
    ::unlink(listPath.c_str());
    return ok;
}

}  // namespace varnok
