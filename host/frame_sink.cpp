#include "host/frame_sink.h"

#include <unistd.h>

#include <cstdio>

#include "host/frame_source.h"
#include "host/image_io.h"

namespace varnok {

FrameSink::~FrameSink() {
    if (!committed_) discard();
}

bool FrameSink::open(const std::string& path, int width, int height, double fps, SampleType inputType,
                     size_t frameCount, std::string* error) {
    media_ = classifyPath(path);
    if (media_.kind == MediaKind::Image && frameCount > 1) {
        *error = "output " + path + " is a single image but " + std::to_string(frameCount) +
                 " frames would be rendered; use a pattern such as name.%04d.png or name.####.exr";
        return false;
    }
    if (media_.kind == MediaKind::Video) {
        video_ = std::make_unique<VideoWriter>();
        videoTemp_ = temporarySibling(path);
        return video_->open(videoTemp_, width, height, fps, error);
    }
    type_ = outputSampleType(media_.extension, inputType);
    channels_ = outputChannels(media_.extension);
    return true;
}

bool FrameSink::write(int frame, const ofxhost::FloatImage& image, std::string* error) {
    const double t0 = nowSeconds();
    bool ok;
    if (video_) {
        ok = video_->write(image, error);
    } else {
        const std::string final = frameFileName(media_, frame);
        const std::string temp = temporarySibling(final);
        ok = writeImageFile(temp, image, type_, channels_, error);
        pending_.push_back({temp, final});
        if (!ok) ::unlink(temp.c_str());
    }
    encodeSeconds += secondsSince(t0);
    return ok;
}

bool FrameSink::commit(std::string* error) {
    if (video_) {
        const double t0 = nowSeconds();
        const bool ok = video_->close(error);
        encodeSeconds += secondsSince(t0);
        video_.reset();
        if (!ok) {
            ::unlink(videoTemp_.c_str());
            return false;
        }
        pending_.push_back({videoTemp_, media_.path});
    }
    for (const auto& [temp, final] : pending_) {
        if (std::rename(temp.c_str(), final.c_str()) != 0) {
            *error = "cannot move " + temp + " to " + final;
            discard();
            return false;
        }
    }
    pending_.clear();
    committed_ = true;
    return true;
}

void FrameSink::discard() {
    if (video_) {
        video_->abort();
        video_.reset();
        ::unlink(videoTemp_.c_str());
    }
    for (const auto& p : pending_) ::unlink(p.first.c_str());
    pending_.clear();
}

}  // namespace varnok
