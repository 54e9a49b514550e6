#include "media/frame_source.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>

#include "media/image_io.h"
#include "media/subprocess.h"

namespace varnok {

double nowSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
double secondsSince(double start) { return nowSeconds() - start; }

bool FrameSource::open(const std::string& path, std::string* error) {
    media_ = classifyPath(path);
    static std::atomic<unsigned> sources{0};
    identity_ = media_.path + "|" + std::to_string(++sources);
    switch (media_.kind) {
        case MediaKind::Sequence: {
            frames_ = findFrames(media_);
            if (frames_.empty()) {
                *error = "input not found: no files match " + path;
                return false;
            }
            return probeImageFile(frameFileName(media_, frames_.front()), &width_, &height_, &type_, error);
        }
        case MediaKind::Image:
            if (!fileExists(path)) {
                *error = "input not found: " + path;
                return false;
            }
            frames_ = {0};
            return probeImageFile(path, &width_, &height_, &type_, error);
        case MediaKind::Video: {
            if (!fileExists(path)) {
                *error = "input not found: " + path;
                return false;
            }
            if (!probeVideo(path, &video_, error)) return false;
            width_ = video_.width;
            height_ = video_.height;
            fps_ = video_.fps;
            type_ = video_.deep ? SampleType::U16 : SampleType::U8;
            int count = video_.frameCount > 0 ? video_.frameCount : countVideoFrames(path);
            if (count <= 0) {
                *error = "video " + path + " has no frames";
                return false;
            }
            for (int i = 0; i < count; ++i) frames_.push_back(i);
            return true;
        }
    }
    return false;
}

bool FrameSource::checkSize(const NativeFrame& f, int frame) {
    if (f.width == width_ && f.height == height_) return true;
    error_ = "frame " + std::to_string(frame) + " is " + std::to_string(f.width) + "x" +
             std::to_string(f.height) + " but the input started at " + std::to_string(width_) + "x" +
             std::to_string(height_) + "; sizes must not change within a sequence";
    return false;
}

void FrameSource::store(int frame, std::shared_ptr<const NativeFrame> f, int keep) {
    cache_[frame] = std::move(f);
    generation_[frame] = ++decodeSerial_;
    // Forward rendering only looks back: drop the oldest first.
    while (cache_.size() > capacity_) {
        auto victim = cache_.begin();
        if (victim->first == keep) ++victim;
        cache_.erase(victim);
    }
    notePeak();
}

void FrameSource::notePeak() {
    size_t bytes = floatBytes_;
    for (const auto& kv : cache_)
        if (kv.second) bytes += kv.second->bytes();
    if (bytes > peakCacheBytes) peakCacheBytes = bytes;
}

std::shared_ptr<const NativeFrame> FrameSource::decode(int frame) {
    if (media_.kind == MediaKind::Image && frame != 0) return nullptr;
    if (media_.kind != MediaKind::Video) {
        const std::string file = frameFileName(media_, frame);
        if (!fileExists(file)) return nullptr;
        auto f = std::make_shared<NativeFrame>();
        std::string err;
        const double t0 = nowSeconds();
        if (!readImageFile(file, f.get(), &err)) {
            error_ = err;
            return nullptr;
        }
        decodeSeconds += secondsSince(t0);
        ++decodes;
        if (!checkSize(*f, frame)) return nullptr;
        return f;
    }
    if (frame < 0 || frame > frames_.back()) return nullptr;
    // Pipes only go forward: an earlier frame that fell out of the cache means starting over.
    if (!reader_ || frame < reader_->position()) {
        reader_ = std::make_unique<VideoReader>();
        std::string err;
        if (!reader_->open(media_.path, video_, &err)) {
            error_ = err;
            reader_.reset();
            return nullptr;
        }
    }
    while (reader_->position() <= frame) {
        auto f = std::make_shared<NativeFrame>();
        const int number = reader_->position();
        const double t0 = nowSeconds();
        if (!reader_->next(f.get())) {
            if (!reader_->error().empty()) error_ = reader_->error();
            reader_.reset();
            return nullptr;
        }
        decodeSeconds += secondsSince(t0);
        ++decodes;
        if (number == frame) return f;
        store(number, f, frame);
    }
    return nullptr;
}

std::shared_ptr<const NativeFrame> FrameSource::get(int frame) {
    auto it = cache_.find(frame);
    if (it != cache_.end()) return it->second;
    if (failed()) return nullptr;
    auto f = decode(frame);
    if (f) store(frame, f, frame);
    return f;
}

ofxhost::FrameProvider FrameSource::provider() {
    return [this](double t, ofxhost::FloatImage& out) {
        // Plug-ins may ask for any time; footage only has whole frames.
        if (!std::isfinite(t) || std::fabs(t) > 1e9 || t != std::floor(t)) return false;
        auto held = floats_.find(static_cast<int>(t));
        if (held != floats_.end()) {
            ++floatHits;
            out = *held->second;
            return true;
        }
        auto f = get(static_cast<int>(t));
        if (!f) return false;
        const double t0 = nowSeconds();
        out = toFloatRgba(*f);
        convertSeconds += secondsSince(t0);
        return !out.empty();
    };
}

}  // namespace varnok

namespace varnok {

std::shared_ptr<ofxhost::FloatImage> FrameSource::freeFloatFrame() {
    for (const auto& f : floatPool_)
        if (f.use_count() == 1) return f;
    auto f = std::make_shared<ofxhost::FloatImage>();
    // A render holds a few frames at once (the current one, an earlier one
    // being read); more than that are not kept for later.
    if (floatPool_.size() < 4) floatPool_.push_back(f);
    return f;
}

// A buffer nobody needs any more is kept for the next conversion (a few at
// most), so steady rendering takes no fresh pages.
void FrameSource::recycle(std::shared_ptr<ofxhost::FloatImage> image) {
    if (floatPool_.size() < 4 && std::find(floatPool_.begin(), floatPool_.end(), image) == floatPool_.end())
        floatPool_.push_back(std::move(image));
}

// Keeps a converted frame within the budget, dropping the oldest frames
// first (a forward render only looks back). The decoded copy stays: a video
// frame dropped here is converted again from it rather than decoded again.
void FrameSource::keepFloat(int frame, std::shared_ptr<ofxhost::FloatImage> image) {
    const size_t bytes = image->rgba.size() * sizeof(float);
    if (bytes == 0 || bytes > floatBudget_) return;
    while (floatBytes_ + bytes > floatBudget_ && !floats_.empty()) {
        auto victim = floats_.begin();
        floatBytes_ -= victim->second->rgba.size() * sizeof(float);
        recycle(std::move(victim->second));
        floats_.erase(victim);
    }
    // The pool must not hand this buffer out while it is kept.
    floatPool_.erase(std::remove(floatPool_.begin(), floatPool_.end(), image), floatPool_.end());
    floatBytes_ += bytes;
    floats_[frame] = std::move(image);
    notePeak();
}

void FrameSource::forgetFloatsBefore(int frame) {
    while (!floats_.empty() && floats_.begin()->first < frame) {
        floatBytes_ -= floats_.begin()->second->rgba.size() * sizeof(float);
        recycle(std::move(floats_.begin()->second));
        floats_.erase(floats_.begin());
    }
}

ofxhost::SharedFrameProvider FrameSource::sharedProvider() {
    return [this](double t) -> std::shared_ptr<const ofxhost::FloatImage> {
        if (!std::isfinite(t) || std::fabs(t) > 1e9 || t != std::floor(t)) return nullptr;
        const int frame = static_cast<int>(t);
        auto held = floats_.find(frame);
        if (held != floats_.end()) {
            ++floatHits;
            return held->second;
        }
        auto f = get(frame);
        if (!f) return nullptr;
        const double t0 = nowSeconds();
        std::shared_ptr<ofxhost::FloatImage> out = freeFloatFrame();
        const bool ok = toFloatRgba(*f, out.get());
        convertSeconds += secondsSince(t0);
        ++conversions;
        if (!ok) return nullptr;
        keepFloat(frame, out);
        return out;
    };
}

ofxhost::FrameShapeProvider FrameSource::shapeProvider() const {
    return [this](double t, int* width, int* height) {
        if (!std::isfinite(t) || std::fabs(t) > 1e9 || t != std::floor(t)) return false;
        const int frame = static_cast<int>(t);
        const auto decoded = cache_.find(frame);
        if (floats_.count(frame) == 0 && (decoded == cache_.end() || !decoded->second)) return false;
        *width = width_;
        *height = height_;
        return true;
    };
}

ofxhost::FrameLabeler FrameSource::labeler() const {
    return [this](double t) -> std::string {
        if (!std::isfinite(t) || std::fabs(t) > 1e9 || t != std::floor(t)) return std::string();
        auto g = generation_.find(static_cast<int>(t));
        if (g == generation_.end()) return std::string();
        return identity_ + "|" + std::to_string(g->first) + "|" + std::to_string(g->second);
    };
}

}  // namespace varnok
