// Video files through the ffmpeg program: raw frames over pipes.
#pragma once

#include <memory>
#include <string>

#include "media/audio_carry.h"
#include "media/colour_tags.h"
#include "media/frame_rate.h"
#include "media/native_frame.h"
#include "media/video_codec.h"
#include "host/ofx_host.h"
#include "media/subprocess.h"
#include "media/yuv420.h"

namespace varnok {

struct VideoInfo {
    int width = 0;
    int height = 0;
    double fps = 0.0;
    FrameRate rate;            // exact; fps is its value
    int frameCount = -1;       // -1 when the container does not say
    bool deep = false;         // more than 8 bits per sample
    ColourTags colour;         // the matrix and range frames are decoded with
    std::string timecode;      // the first frame's, as the file has it ("" when none)
    double start = 0.0;        // seconds from the file's start to the first frame
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

// How a video is written; the defaults are the container's codec, 24 fps,
// BT.601 video range, no timecode and no sound.
struct VideoOutput {
    FrameRate rate{24, 1};
    bool deep = false;              // the footage has more than 8 bits
    bool codecChosen = false;       // else the container's default
    VideoCodec codec = VideoCodec::H264;
    std::string quality;            // --quality, "" for the codec's default
    ColourTags colour;
    std::string timecode;           // of the first frame written, "" for none
    AudioCarry audio;
};

// Encodes float RGBA frames with the codec the output asks for (see
// video_codec.h). From 8-bit footage, frames go to ffmpeg in the encoder's
// own format where varnok can pack it - yuv420p or yuva420p for H.264,
// H.265 and VP9 (what the encoder keeps anyway, at a fraction of the bytes of
// rgb24), bgra for FFV1 - converted on the host's threads instead of on one
// of ffmpeg's; otherwise as rgba64le. Either way the footage's matrix and
// range are used and written in the file's tags.
class VideoWriter {
public:
    bool open(const std::string& path, int width, int height, const VideoOutput& output, std::string* error,
              std::string* note = nullptr);
    bool open(const std::string& path, int width, int height, double fps, std::string* error,
              bool eightBit = false);
    bool write(const ofxhost::FloatImage& frame, std::string* error);
    // Finishes the file; false when the encoder failed or the file does not
    // hold every frame written (ffmpeg can exit 0 when its first write fails).
    bool close(std::string* error);
    void abort();
    // Whether the file keeps the frames' alpha.
    bool keepsAlpha() const { return alpha_; }

private:
    std::unique_ptr<Subprocess> proc_;
    std::string path_;
    bool alpha_ = false;
    int width_ = 0, height_ = 0;
    int frames_ = 0;
    EncoderPlan::Feed feed_ = EncoderPlan::Feed::Rgba16;
    YuvCoefficients coefficients_{};
    std::vector<uint16_t> scratch_;
    std::vector<uint8_t> bytes_;
};

}  // namespace varnok
