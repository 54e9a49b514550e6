#include "media/video_io.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "host/worker_pool.h"
#include "media/unit_samples.h"
#include "media/yuv420.h"

namespace varnok {

namespace {

std::string fpsText(double fps) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", fps > 0 && std::isfinite(fps) ? fps : 24.0);
    return buf;
}

}  // namespace

int countVideoFrames(const std::string& path) {
    int status = 0;
    const std::string out = captureOutput({"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets",
                                           "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0", path},
                                          &status);
    return status == 0 ? std::atoi(out.c_str()) : -1;
}

bool probeVideo(const std::string& path, VideoInfo* info, std::string* error) {
    int status = 0;
    const std::string out = captureOutput(
        {"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
         "stream=width,height,avg_frame_rate,r_frame_rate,nb_frames,pix_fmt", "-of",
         "default=noprint_wrappers=1", path},
        &status);
    if (status != 0 || out.empty()) {
        *error = "cannot read video " + path + " (ffprobe found no video stream)";
        return false;
    }
    std::istringstream lines(out);
    std::string line;
    auto rate = [](const std::string& v) {
        double num = 0, den = 1;
        if (std::sscanf(v.c_str(), "%lf/%lf", &num, &den) == 2 && den > 0) return num / den;
        return std::atof(v.c_str());
    };
    double avg = 0, r = 0;
    while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "width") info->width = std::atoi(value.c_str());
        else if (key == "height") info->height = std::atoi(value.c_str());
        else if (key == "avg_frame_rate") avg = rate(value);
        else if (key == "r_frame_rate") r = rate(value);
        else if (key == "nb_frames" && value != "N/A") info->frameCount = std::atoi(value.c_str());
        else if (key == "pix_fmt")
            info->deep = value.find("10") != std::string::npos || value.find("12") != std::string::npos ||
                         value.find("16") != std::string::npos || value.find("f32") != std::string::npos;
    }
    info->fps = avg > 0 && std::isfinite(avg) ? avg : (r > 0 && std::isfinite(r) ? r : 24.0);
    if (info->width <= 0 || info->height <= 0 || info->width > 65536 || info->height > 65536) {
        *error = "video " + path + " has no usable frame size";
        return false;
    }
    return true;
}

bool VideoReader::open(const std::string& path, const VideoInfo& info, std::string* error) {
    info_ = info;
    position_ = 0;
    proc_ = std::make_unique<Subprocess>();
    // -xerror: a damaged stream stops the decode with an error instead of
    // concealed or dropped frames that would render as if nothing happened.
    return proc_->start({"ffmpeg", "-v", "error", "-nostdin", "-xerror", "-i", path, "-map", "0:v:0", "-fps_mode",
                         "passthrough", "-f", "rawvideo", "-pix_fmt", info.deep ? "rgba64le" : "rgb24", "-"},
                        Subprocess::Pipe::FromChild, error);
}

bool VideoReader::next(NativeFrame* frame) {
    if (!proc_) return false;
    frame->width = info_.width;
    frame->height = info_.height;
    frame->channels = info_.deep ? 4 : 3;
    frame->type = info_.deep ? SampleType::U16 : SampleType::U8;
    frame->data.resize(static_cast<size_t>(info_.width) * info_.height * frame->channels * sampleBytes(frame->type));
    if (!proc_->readExactly(frame->data.data(), frame->data.size())) {
        const int st = proc_->wait();
        if (st != 0) error_ = "ffmpeg failed decoding: " + proc_->lastErrorLine();
        proc_.reset();
        return false;
    }
    ++position_;
    return true;
}

bool VideoWriter::open(const std::string& path, int width, int height, double fps, std::string* error,
                       bool eightBit) {
    path_ = path;
    frames_ = 0;
    width_ = width;
    height_ = height;
    eightBit_ = eightBit;
    const size_t dot = path.find_last_of('.');
    std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // 8-bit frames go as the encoder's own 4:2:0, padded to even sizes here;
    // deeper ones as rgba64le, padded by ffmpeg (4:2:0 needs even sizes).
    const Yuv420Layout planes = yuv420Layout(width, height);
    const std::string size = eightBit ? std::to_string(planes.width) + "x" + std::to_string(planes.height)
                                      : std::to_string(width) + "x" + std::to_string(height);
    std::vector<std::string> args = {"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "rawvideo", "-pix_fmt",
                                     eightBit ? "yuv420p" : "rgba64le", "-s", size, "-framerate", fpsText(fps),
                                     "-i", "-"};
    if (!eightBit) {
        args.push_back("-vf");
        args.push_back("pad=ceil(iw/2)*2:ceil(ih/2)*2");
    }
    if (ext == "webm") {
        for (const char* a : {"-c:v", "libvpx-vp9", "-crf", "32", "-b:v", "0", "-row-mt", "1", "-deadline",
                              "good", "-cpu-used", "4", "-pix_fmt", "yuv420p"})
            args.push_back(a);
    } else {
        for (const char* a : {"-c:v", "libx264", "-preset", "medium", "-crf", "18", "-pix_fmt", "yuv420p"})
            args.push_back(a);
        if (ext == "mp4" || ext == "mov" || ext == "m4v") {
            args.push_back("-movflags");
            args.push_back("+faststart");
        }
    }
    args.push_back(path);
    proc_ = std::make_unique<Subprocess>();
    // libx264 asks for huge pages for its frame buffers, and the kernel then
    // zeroes them 2 MB at a time, over 300 MB at start-up: processor time a
    // render shares with the effect, for no faster encoding.
    return proc_->start(args, Subprocess::Pipe::ToChild, error, /*withoutHugePages=*/true);
}

bool VideoWriter::write(const ofxhost::FloatImage& frame, std::string* error) {
    if (!proc_) {
        *error = "video encoder is not running";
        return false;
    }
    if (frame.width != width_ || frame.height != height_) {
        *error = "frame size changed while encoding";
        return false;
    }
    // Rows converted in bands on the host's threads.
    const size_t rows = static_cast<size_t>(frame.height);
    const size_t rowPixels = static_cast<size_t>(frame.width);
    const unsigned jobs = static_cast<unsigned>(std::min<size_t>(ofxhost::workerCount(), rows));
    const void* data = nullptr;
    size_t bytes = 0;
    if (eightBit_) {
        const Yuv420Layout planes = yuv420Layout(frame.width, frame.height);
        bytes_.resize(planes.totalBytes());
        const size_t chromaRows = static_cast<size_t>(planes.height / 2);
        const unsigned bands = static_cast<unsigned>(std::min<size_t>(jobs, chromaRows));
        ofxhost::runOnWorkers(bands, [&](unsigned j) {
            packYuv420Rows(frame.rgba.data(), frame.width, frame.height, static_cast<int>(chromaRows * j / bands),
                           static_cast<int>(chromaRows * (j + 1) / bands), bytes_.data());
        });
        data = bytes_.data();
        bytes = bytes_.size();
    } else {
        scratch_.resize(frame.rgba.size());
        ofxhost::runOnWorkers(jobs, [&](unsigned j) {
            const size_t first = rows * j / jobs * rowPixels * 4;
            const size_t end = rows * (j + 1) / jobs * rowPixels * 4;
            packUnit16(frame.rgba.data() + first, end - first, scratch_.data() + first);
        });
        data = scratch_.data();
        bytes = scratch_.size() * 2;
    }
    if (!proc_->writeAll(data, bytes)) {
        const std::string why = proc_->lastErrorLine();
        *error = "ffmpeg stopped taking frames: " + (why.empty() ? std::string("the encoder quit without a word") : why);
        return false;
    }
    ++frames_;
    return true;
}

bool VideoWriter::close(std::string* error) {
    if (!proc_) return false;
    const int st = proc_->wait();
    if (st != 0) {
        *error = "ffmpeg failed encoding: " + proc_->lastErrorLine();
        proc_.reset();
        return false;
    }
    proc_.reset();
    const int found = countVideoFrames(path_);
    if (found != frames_) {
        struct statvfs fs {};
        const std::string dir = path_.find('/') == std::string::npos ? "." : path_.substr(0, path_.rfind('/') + 1);
        const bool full = ::statvfs(dir.c_str(), &fs) == 0 && fs.f_bavail == 0;
        *error = "cannot write " + path_ + ": " +
                 (full ? std::string("No space left on device")
                       : "the encoded file holds " + std::to_string(std::max(found, 0)) + " of " +
                             std::to_string(frames_) + " frames");
        return false;
    }
    return true;
}

void VideoWriter::abort() {
    if (proc_) {
        proc_->kill();
        proc_->wait();
        proc_.reset();
    }
}

}  // namespace varnok
