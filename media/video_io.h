// Video files through the ffmpeg program: raw frames over pipes.
#pragma once

#include <memory>
#include <string>

#include "media/native_frame.h"
#include "host/ofx_host.h"
#include "media/subprocess.h"

namespace varnok {

struct VideoInfo {
    int width = 0;
    int height = 0;
    double fps = 0.0;
    int frameCount = -1;       // -1 when the container does not say
    bool deep = false;         // more than 8 bits per sample
};

bool probeVideo(const std::string& path, VideoInfo* info, std::string* error);
// Frames of the first video stream, counted by reading its packets; -1 when
// the file cannot be read.
int countVideoFrames(const std::string& path);

// Decodes frames in order, 8-bit sources as rgb24 (the decoder fills no
// alpha from them), deeper ones as rgba64le.
class VideoReader {
public:
    bool open(const std::string& path, const VideoInfo& info, std::string* error);
    // The next frame, numbered from 0; false at the end or on error (see error()).
    bool next(NativeFrame* frame);
    int position() const { return position_; }   // number of the next frame
    const std::string& error() const { return error_; }

private:
    std::unique_ptr<Subprocess> proc_;
    VideoInfo info_;
    int position_ = 0;
    std::string error_;
};

// Encodes float RGBA frames: libx264 yuv420p CRF 18 (mp4, mov, mkv...) or VP9 (webm).
// Frames go to ffmpeg as the encoder's own yuv420p when the footage was 8-bit
// (what the encoder keeps of it anyway, at a quarter of the bytes of rgb24,
// converted on the host's threads instead of on one of ffmpeg's), else as
// rgba64le.
class VideoWriter {
public:
    bool open(const std::string& path, int width, int height, double fps, std::string* error,
              bool eightBit = false);
    bool write(const ofxhost::FloatImage& frame, std::string* error);
    // Finishes the file; false when the encoder failed or the file does not
    // hold every frame written (ffmpeg can exit 0 when its first write fails).
    bool close(std::string* error);
    void abort();

private:
    std::unique_ptr<Subprocess> proc_;
    std::string path_;
    int width_ = 0, height_ = 0;
    int frames_ = 0;
    bool eightBit_ = false;
    std::vector<uint16_t> scratch_;
    std::vector<uint8_t> bytes_;
};

}  // namespace varnok
