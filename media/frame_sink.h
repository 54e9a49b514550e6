// Where rendered frames go. Everything is written under temporary names and
// renamed only when the whole render succeeded, so a failed run never leaves
// output that looks complete. A frame is encoded on one background thread
// while the next one renders; its failure is reported by the next write() or
// by commit(), and frames reach the file in the order they were written.
#pragma once

#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "media/media_path.h"
#include "media/native_frame.h"
#include "media/timecode.h"
#include "host/ofx_host.h"
#include "media/video_io.h"

namespace varnok {

class FrameSink {
public:
    ~FrameSink();   // discards anything not committed

    // `inputType` guides the bit depth of image outputs.
    bool open(const std::string& path, int width, int height, double fps, SampleType inputType,
              size_t frameCount, std::string* error);
    // The same with the video's settings (codec, rate, colour, timecode,
    // sound). Image outputs take the timecode, as the one of `firstFrame`,
    // into the formats that have a field for it (EXR, DPX). `*note` tells of
    // what the output cannot keep.
    bool open(const std::string& path, int width, int height, const VideoOutput& output, SampleType inputType,
              size_t frameCount, int firstFrame, std::string* error, std::string* note = nullptr);
    // False when this frame or the one before it could not be encoded.
    bool write(int frame, const ofxhost::FloatImage& image, std::string* error);
    bool write(int frame, ofxhost::FloatImage&& image, std::string* error);
    // What the frames' colour holds, as the effect declared it (true unless
    // told): each file gets its format's own kind (alpha_convention.h).
    void setPremultiplied(bool premultiplied) { premultiplied_ = premultiplied; }
    bool commit(std::string* error);
    void discard();
    // The memory of a frame that has been encoded, for the next render to
    // reuse (empty when there is none yet).
    ofxhost::FloatImage takeSpareFrame();

    double encodeSeconds = 0.0;   // time spent encoding, on whichever thread
    // Told of each temporary file as it is named (done false, on the calling
    // thread) and once it is complete (done true, on the encoding thread), so
    // that a crash can keep the finished frames and drop the rest. A video is
    // named with no final name: one file, complete only when the render is.
    std::function<void(const std::string& temp, const std::string& final, bool done)> fileWatcher;

private:
    MediaPath media_;
    SampleType type_ = SampleType::U8;
    int channels_ = 4;
    bool premultiplied_ = true;
    std::unique_ptr<VideoWriter> video_;
    std::string videoTemp_;
    std::vector<std::pair<std::string, std::string>> pending_;   // temporary, final
    bool committed_ = false;
    Timecode timecode_;            // of frame firstFrame_, for image outputs
    int firstFrame_ = 0;

    struct Encoded {
        bool ok = true;
        std::string error;
        double seconds = 0.0;
    };
    // Waits for the frame being encoded; false (and `*error`) when it failed.
    bool finishPending(std::string* error);
    // "" temp: video; `final` names the file in messages.
    Encoded encode(const ofxhost::FloatImage& image, const std::string& temp, const std::string& final, int frame);
    std::future<Encoded> encoding_;
    std::shared_ptr<ofxhost::FloatImage> inFlight_;   // the frame being encoded
    ofxhost::FloatImage spare_;
};

}  // namespace varnok
