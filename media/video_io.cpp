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

YuvCoefficients coefficientsFor(const ColourTags& c) {
    switch (c.matrix) {
        case YuvMatrixKind::Bt709: return yuvCoefficients(0.2126, 0.0722, c.fullRange);
        case YuvMatrixKind::Bt2020: return yuvCoefficients(0.2627, 0.0593, c.fullRange);
        case YuvMatrixKind::Bt601: break;
    }
    return yuvCoefficients(0.299, 0.114, c.fullRange);
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
         "stream=width,height,avg_frame_rate,r_frame_rate,nb_frames,pix_fmt,start_time,color_space,color_range,"
         "color_primaries,color_transfer:stream_tags=timecode:format=start_time:format_tags=timecode",
         "-of", "default", path},
        &status);
    if (status != 0 || out.find("[STREAM]") == std::string::npos) {
        *error = "cannot read video " + path + " (ffprobe found no video stream)";
        return false;
    }
    std::istringstream lines(out);
    std::string line, section, avg, r, space, range, primaries, transfer, streamTimecode, formatTimecode;
    double streamStart = 0, formatStart = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] == '[') {
            section = line;
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (section == "[FORMAT]") {
            if (key == "start_time" && value != "N/A") formatStart = std::atof(value.c_str());
            else if (key.rfind("TAG:", 0) == 0) formatTimecode = value;
            continue;
        }
        if (key == "width") info->width = std::atoi(value.c_str());
        else if (key == "height") info->height = std::atoi(value.c_str());
        else if (key == "avg_frame_rate") avg = value;
        else if (key == "r_frame_rate") r = value;
        else if (key == "nb_frames" && value != "N/A") info->frameCount = std::atoi(value.c_str());
        else if (key == "start_time" && value != "N/A") streamStart = std::atof(value.c_str());
        else if (key == "color_space") space = value;
        else if (key == "color_range") range = value;
        else if (key == "color_primaries") primaries = value;
        else if (key == "color_transfer") transfer = value;
        else if (key.rfind("TAG:", 0) == 0) streamTimecode = value;
        else if (key == "pix_fmt")
            info->deep = value.find("10") != std::string::npos || value.find("12") != std::string::npos ||
                         value.find("16") != std::string::npos || value.find("f32") != std::string::npos;
    }
    info->rate = streamFrameRate(r, avg);
    info->fps = info->rate.value();
    info->colour = colourFromStream(space, range, primaries, transfer, info->height);
    info->timecode = !streamTimecode.empty() ? streamTimecode : formatTimecode;
    info->start = std::isfinite(streamStart - formatStart) ? std::max(0.0, streamStart - formatStart) : 0.0;
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
    // The footage's own matrix and range, named: an untagged HD stream
    // would otherwise be read as BT.601. Bicubic, as ffmpeg's own conversion.
    return proc_->start({"ffmpeg", "-v", "error", "-nostdin", "-xerror", "-i", path, "-map", "0:v:0", "-fps_mode",
                         "passthrough", "-vf", "scale=" + decodeScaleOptions(info.colour) + ":flags=bicubic", "-f",
                         "rawvideo", "-pix_fmt", info.deep ? "rgba64le" : "rgb24", "-"},
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
    VideoOutput output;
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", fps > 0 && std::isfinite(fps) ? fps : 24.0);
    if (!parseFrameRate(text, &output.rate)) output.rate = FrameRate{24, 1};
    output.deep = !eightBit;
    return open(path, width, height, output, error);
}

bool VideoWriter::open(const std::string& path, int width, int height, const VideoOutput& output,
                       std::string* error, std::string* note) {
    path_ = path;
    frames_ = 0;
    width_ = width;
    height_ = height;
    const size_t dot = path.find_last_of('.');
    std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const VideoCodec codec = output.codecChosen ? output.codec : defaultVideoCodec(ext);
    EncoderPlan plan;
    if (!planEncoder(ext, codec, output.quality, output.deep, &plan, error, note)) return false;
    if (width < plan.minWidth || height < plan.minHeight) {
        *error = std::string(videoCodecName(codec)) + " needs frames of at least " + std::to_string(plan.minWidth) +
                 "x" + std::to_string(plan.minHeight) + ", not " + std::to_string(width) + "x" +
                 std::to_string(height);
        return false;
    }
    feed_ = plan.feed;
    alpha_ = plan.alpha;
    const bool planar = feed_ == EncoderPlan::Feed::Yuv420 || feed_ == EncoderPlan::Feed::Yuva420;
    coefficients_ = coefficientsFor(output.colour);
    // 8-bit 4:2:0 frames go as the encoder's own planes, padded to even sizes
    // here; the rest as rgba64le, padded (where the codec needs it) and
    // converted by ffmpeg with the same matrix.
    const Yuv420Layout planes = yuv420Layout(width, height);
    const std::string size = planar ? std::to_string(planes.width) + "x" + std::to_string(planes.height)
                                       : std::to_string(width) + "x" + std::to_string(height);
    std::vector<std::string> args = {"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "rawvideo", "-pix_fmt",
                                     feed_ == EncoderPlan::Feed::Yuv420    ? "yuv420p"
                                     : feed_ == EncoderPlan::Feed::Yuva420 ? "yuva420p"
                                     : feed_ == EncoderPlan::Feed::Bgra8   ? "bgra"
                                                                           : "rgba64le",
                                     "-s", size, "-framerate",
                                     output.rate.text(), "-i", "-"};
    const std::vector<std::string> audioIn = audioInputArgs(output.audio);
    args.insert(args.end(), audioIn.begin(), audioIn.end());
    std::string filters;
    if (feed_ == EncoderPlan::Feed::Rgba16) {
        // Converted straight to the encoder's format, then padded there: pad
        // takes no rgba64le and would have ffmpeg convert twice.
        if (!plan.rgb) filters = "scale=" + encodeScaleOptions(output.colour) + ":flags=bicubic,";
        filters += "format=" + plan.pixelFormat + ",";
        if (plan.evenSize) filters += "pad=ceil(iw/2)*2:ceil(ih/2)*2,";
    }
    filters += tagFilter(output.colour, plan.rgb);
    args.insert(args.end(), {"-map", "0:v", "-vf", filters});
    args.insert(args.end(), plan.options.begin(), plan.options.end());
    args.insert(args.end(), {"-pix_fmt", plan.pixelFormat});
    const std::vector<std::string> tags = tagOptions(output.colour, plan.rgb);
    args.insert(args.end(), tags.begin(), tags.end());
    const std::vector<std::string> audioOut = audioOutputArgs(output.audio, 1, ext);
    args.insert(args.end(), audioOut.begin(), audioOut.end());
    if (!output.timecode.empty()) args.insert(args.end(), {"-timecode", output.timecode});
    if (ext == "mp4" || ext == "mov" || ext == "m4v") args.insert(args.end(), {"-movflags", "+faststart"});
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
    if (feed_ == EncoderPlan::Feed::Yuv420 || feed_ == EncoderPlan::Feed::Yuva420) {
        const Yuv420Layout planes = yuv420Layout(frame.width, frame.height);
        const bool alpha = feed_ == EncoderPlan::Feed::Yuva420;
        bytes_.resize(planes.totalBytes() + (alpha ? planes.lumaBytes : 0));
        const size_t chromaRows = static_cast<size_t>(planes.height / 2);
        const unsigned bands = static_cast<unsigned>(std::min<size_t>(jobs, chromaRows));
        ofxhost::runOnWorkers(bands, [&](unsigned j) {
            const int row0 = static_cast<int>(chromaRows * j / bands);
            const int row1 = static_cast<int>(chromaRows * (j + 1) / bands);
            packYuv420Rows(frame.rgba.data(), frame.width, frame.height, row0, row1, bytes_.data(), coefficients_);
            if (alpha)
                packAlphaRows(frame.rgba.data(), frame.width, frame.height, row0, row1,
                              bytes_.data() + planes.totalBytes());
        });
        data = bytes_.data();
        bytes = bytes_.size();
    } else if (feed_ == EncoderPlan::Feed::Bgra8) {
        bytes_.resize(rows * rowPixels * 4);
        ofxhost::runOnWorkers(jobs, [&](unsigned j) {
            const size_t first = rows * j / jobs * rowPixels;
            const size_t end = rows * (j + 1) / jobs * rowPixels;
            packBgra8(frame.rgba.data() + first * 4, end - first, bytes_.data() + first * 4);
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
