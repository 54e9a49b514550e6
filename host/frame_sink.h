// Where rendered frames go. Everything is written under temporary names and
// renamed only when the whole render succeeded, so a failed run never leaves
// output that looks complete.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/media_path.h"
#include "host/native_frame.h"
#include "host/ofx_host.h"
#include "host/video_io.h"

namespace varnok {

class FrameSink {
public:
    ~FrameSink();   // discards anything not committed

    // `inputType` guides the bit depth of image outputs.
    bool open(const std::string& path, int width, int height, double fps, SampleType inputType,
              size_t frameCount, std::string* error);
    bool write(int frame, const ofxhost::FloatImage& image, std::string* error);
    bool commit(std::string* error);
    void discard();

    double encodeSeconds = 0.0;

private:
    MediaPath media_;
    SampleType type_ = SampleType::U8;
    int channels_ = 4;
    std::unique_ptr<VideoWriter> video_;
    std::string videoTemp_;
    std::vector<std::pair<std::string, std::string>> pending_;   // temporary, final
    bool committed_ = false;
};

}  // namespace varnok
