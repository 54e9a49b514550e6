#include "media/frame_sink.h"

#include <unistd.h>

#include <cstdio>
#include <system_error>

#include "media/alpha_convention.h"
#include "media/frame_source.h"
#include "media/image_io.h"

namespace varnok {

namespace {

// The user knows the final name, not the temporary one.
void nameFinal(std::string* error, const std::string& temp, const std::string& final) {
    if (!error || temp.empty()) return;
    for (size_t at = error->find(temp); at != std::string::npos; at = error->find(temp, at + final.size()))
        error->replace(at, temp.size(), final);
}

}  // namespace

FrameSink::~FrameSink() {
    if (!committed_) discard();
}

bool FrameSink::open(const std::string& path, int width, int height, double fps, SampleType inputType,
                     size_t frameCount, std::string* error) {
    VideoOutput output;
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", fps);
    if (!parseFrameRate(text, &output.rate)) output.rate = FrameRate{24, 1};
    output.deep = inputType != SampleType::U8;
    output.colour = colourForHeight(height);
    return open(path, width, height, output, inputType, frameCount, 0, error);
}

bool FrameSink::open(const std::string& path, int width, int height, const VideoOutput& output,
                     SampleType inputType, size_t frameCount, int firstFrame, std::string* error,
                     std::string* note) {
    media_ = classifyPath(path);
    if (media_.kind == MediaKind::Image && frameCount > 1) {
        *error = "output " + path + " is a single image but " + std::to_string(frameCount) +
                 " frames would be rendered; use a pattern such as name.%04d.png or name.####.exr";
        return false;
    }
    if (media_.kind == MediaKind::Video) {
        video_ = std::make_unique<VideoWriter>();
        videoTemp_ = temporarySibling(path);
        if (fileWatcher) fileWatcher(videoTemp_, "", false);
        const bool ok = video_->open(videoTemp_, width, height, output, error, note);
        if (!ok) nameFinal(error, videoTemp_, path);
        return ok;
    }
    if (!output.audio.source.empty()) {
        *error = "output " + path + " is an image sequence, which carries no sound; drop --audio or write a video";
        return false;
    }
    firstFrame_ = firstFrame;
    if (!output.timecode.empty() && !parseTimecode(output.timecode, output.rate, &timecode_, error)) return false;
    type_ = outputSampleType(media_.extension, inputType);
    channels_ = outputChannels(media_.extension);
    return true;
}

FrameSink::Encoded FrameSink::encode(const ofxhost::FloatImage& image, const std::string& temp,
                                     const std::string& final, int frame) {
    Encoded e;
    const double t0 = nowSeconds();
    if (video_) {
        e.ok = video_->write(image, &e.error);
        if (!e.ok) nameFinal(&e.error, videoTemp_, media_.path);
    } else {
        const Timecode tc = shiftTimecode(timecode_, frame - firstFrame_);
        e.ok = writeImageFile(temp, image, type_, channels_, &e.error, timecode_.valid() ? &tc : nullptr,
                              premultiplied_);
        if (!e.ok) {
            ::unlink(temp.c_str());
            nameFinal(&e.error, temp, final);
        } else if (fileWatcher) {
            fileWatcher(temp, final, true);
        }
    }
    e.seconds = secondsSince(t0);
    return e;
}

bool FrameSink::finishPending(std::string* error) {
    if (!encoding_.valid()) return true;
    Encoded e = encoding_.get();
    if (inFlight_ && inFlight_.use_count() == 1) spare_ = std::move(*inFlight_);
    inFlight_.reset();
    encodeSeconds += e.seconds;
    if (!e.ok && error) *error = e.error;
    return e.ok;
}

ofxhost::FloatImage FrameSink::takeSpareFrame() {
    ofxhost::FloatImage out = std::move(spare_);
    spare_ = ofxhost::FloatImage();
    return out;
}

bool FrameSink::write(int frame, const ofxhost::FloatImage& image, std::string* error) {
    return write(frame, ofxhost::FloatImage(image), error);
}

bool FrameSink::write(int frame, ofxhost::FloatImage&& image, std::string* error) {
    if (!finishPending(error)) return false;
    std::string temp, final;
    if (!video_) {
        final = frameFileName(media_, frame);
        temp = temporarySibling(final);
        pending_.push_back({temp, final});
        if (fileWatcher) fileWatcher(temp, final, false);
    }
    // The frame moves into the task; the caller renders the next one meanwhile.
    inFlight_ = std::make_shared<ofxhost::FloatImage>(std::move(image));
    std::shared_ptr<ofxhost::FloatImage> img = inFlight_;
    // Video codecs keep straight alpha.
    const bool straighten = video_ && video_->keepsAlpha() && premultiplied_;
    auto task = [this, img, temp, final, frame, straighten]() {
        if (straighten) unpremultiply(*img);
        return encode(*img, temp, final, frame);
    };
    try {
        encoding_ = std::async(std::launch::async, task);
    } catch (const std::system_error&) {
        // No thread to be had: encode here, as before.
        const Encoded e = task();
        encodeSeconds += e.seconds;
        if (!e.ok) *error = e.error;
        return e.ok;
    }
    return true;
}

bool FrameSink::commit(std::string* error) {
    if (!finishPending(error)) {
        discard();
        return false;
    }
    if (video_) {
        const double t0 = nowSeconds();
        const bool ok = video_->close(error);
        encodeSeconds += secondsSince(t0);
        video_.reset();
        if (!ok) {
            nameFinal(error, videoTemp_, media_.path);
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
    finishPending(nullptr);
    if (video_) {
        video_->abort();
        video_.reset();
        ::unlink(videoTemp_.c_str());
    }
    for (const auto& p : pending_) ::unlink(p.first.c_str());
    pending_.clear();
}

}  // namespace varnok
