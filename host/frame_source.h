// The input footage as numbered frames: a sequence, one image or a video.
// Decoded frames stay in a history cache in their own sample type and are
// turned into float only when the plug-in fetches them.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/media_path.h"
#include "host/native_frame.h"
#include "host/ofx_host.h"
#include "host/video_io.h"

namespace varnok {

class FrameSource {
public:
    bool open(const std::string& path, std::string* error);

    const std::vector<int>& frames() const { return frames_; }   // ascending
    int width() const { return width_; }
    int height() const { return height_; }
    SampleType sampleType() const { return type_; }
    double fps() const { return fps_; }
    MediaKind kind() const { return media_.kind; }

    // The frame with this number, decoded once and cached; null when there
    // is none, or on a decode error or a size change (then failed() is true).
    std::shared_ptr<const NativeFrame> get(int frame);
    void setCapacity(size_t frames) { capacity_ = frames < 2 ? 2 : frames; }
    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }

    // A provider for the host: whole frame numbers only, converted on fetch.
    ofxhost::FrameProvider provider();
    // The same, lending frames converted into buffers the host has let go of,
    // so a render neither copies nor allocates a float frame.
    ofxhost::SharedFrameProvider sharedProvider();

    // Totals, for --stats.
    double decodeSeconds = 0.0;
    double convertSeconds = 0.0;
    int decodes = 0;
    size_t peakCacheBytes = 0;

private:
    std::shared_ptr<const NativeFrame> decode(int frame);
    void store(int frame, std::shared_ptr<const NativeFrame> f, int keep);
    bool checkSize(const NativeFrame& f, int frame);
    std::shared_ptr<ofxhost::FloatImage> freeFloatFrame();

    MediaPath media_;
    std::vector<int> frames_;
    int width_ = 0, height_ = 0;
    SampleType type_ = SampleType::U8;
    double fps_ = 24.0;
    VideoInfo video_;
    std::unique_ptr<VideoReader> reader_;
    std::map<int, std::shared_ptr<const NativeFrame>> cache_;
    std::vector<std::shared_ptr<ofxhost::FloatImage>> floatPool_;   // reused once nobody else holds one
    size_t capacity_ = 66;
    std::string error_;
};

double secondsSince(double start);
double nowSeconds();

}  // namespace varnok
