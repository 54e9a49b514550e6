// The input footage as numbered frames: a sequence, one image or a video.
// Decoded frames stay in a history cache in their own sample type; frames
// turned into float for the plug-in are kept as float within a memory budget,
// so a sequential render converts each frame once, and a frame held as float
// needs no decoded copy beside it.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "media/media_path.h"
#include "media/native_frame.h"
#include "host/ofx_host.h"
#include "media/video_io.h"

namespace varnok {

class FrameSource {
public:
    bool open(const std::string& path, std::string* error);

    const std::vector<int>& frames() const { return frames_; }   // ascending
    int width() const { return width_; }
    int height() const { return height_; }
    SampleType sampleType() const { return type_; }
    double fps() const { return fps_; }
    // Exact: a video's own rate; 24 fps for images.
    FrameRate rate() const { return media_.kind == MediaKind::Video ? video_.rate : FrameRate{24, 1}; }
    // What ffprobe said of a video input (colour, timecode, start).
    const VideoInfo& videoInfo() const { return video_; }
    MediaKind kind() const { return media_.kind; }

    // The frame with this number, decoded once and cached; null when there
    // is none, or on a decode error or a size change (then failed() is true).
    std::shared_ptr<const NativeFrame> get(int frame);
    void setCapacity(size_t frames) { capacity_ = frames < 2 ? 2 : frames; }
    // Bytes of float frames kept for later fetches; 0 keeps none.
    void setFloatBudget(size_t bytes) { floatBudget_ = bytes; }
    // Frames before `frame` will not be fetched again: their float copies
    // go back to the pool for the next conversions.
    void forgetFloatsBefore(int frame);
    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }

    // A provider for the host: whole frame numbers only, converted on fetch.
    ofxhost::FrameProvider provider();
    // The same, lending frames converted into buffers the host has let go of,
    // so a render neither copies nor allocates a float frame; a frame still
    // held as float is lent again without converting.
    ofxhost::SharedFrameProvider sharedProvider();
    // Labels for the lent frames: this source, the frame number and the
    // decode that produced its pixels, so a label never names two pictures.
    ofxhost::FrameLabeler labeler() const;
    // Sizes of the frames at hand (decoded, or held as float), so the host
    // can hand their images out and convert only those the plug-in reads.
    ofxhost::FrameShapeProvider shapeProvider() const;

    // Totals, for --stats.
    double decodeSeconds = 0.0;
    double convertSeconds = 0.0;
    int decodes = 0;
    size_t peakCacheBytes = 0;
    int floatHits = 0;        // fetches served by a frame already held as float
    int conversions = 0;

private:
    std::shared_ptr<const NativeFrame> decode(int frame);
    void store(int frame, std::shared_ptr<const NativeFrame> f, int keep);
    bool checkSize(const NativeFrame& f, int frame);
    std::shared_ptr<ofxhost::FloatImage> freeFloatFrame();
    void keepFloat(int frame, std::shared_ptr<ofxhost::FloatImage> image);
    void recycle(std::shared_ptr<ofxhost::FloatImage> image);
    void notePeak();

    MediaPath media_;
    std::vector<int> frames_;
    int width_ = 0, height_ = 0;
    SampleType type_ = SampleType::U8;
    double fps_ = 24.0;
    VideoInfo video_;
    std::unique_ptr<VideoReader> reader_;
    std::map<int, std::shared_ptr<const NativeFrame>> cache_;
    std::vector<std::shared_ptr<ofxhost::FloatImage>> floatPool_;   // reused once nobody else holds one
    std::map<int, std::shared_ptr<ofxhost::FloatImage>> floats_;     // converted frames kept for later fetches
    size_t floatBytes_ = 0;
    size_t floatBudget_ = 0;
    std::map<int, unsigned long long> generation_;                  // which decode made each frame's pixels
    unsigned long long decodeSerial_ = 0;
    std::string identity_;
    size_t capacity_ = 66;
    std::string error_;
};

double secondsSince(double start);
double nowSeconds();

}  // namespace varnok
