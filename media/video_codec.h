// The codecs varnok writes, what each container takes, and the ffmpeg
// encoder options for each: H.264, H.265, ProRes 422 and 4444, DNxHR, FFV1
// and VP9. Defaults by container: ProRes 422 HQ in mov, VP9 in webm, H.264
// elsewhere.
#pragma once

#include <string>
#include <vector>

namespace varnok {

enum class VideoCodec { H264, H265, ProRes, ProRes4444, DnxHR, Ffv1, Vp9 };

// --codec's names: h264, h265, prores, prores4444, dnxhr, ffv1, vp9.
bool parseVideoCodec(const std::string& name, VideoCodec* out);
const char* videoCodecName(VideoCodec c);
VideoCodec defaultVideoCodec(const std::string& extension);

// How a codec is fed and encoded.
struct EncoderPlan {
    // How frames go down the pipe: 8-bit 4:2:0 planes (yuv420p, or
    // yuva420p with alpha) or 8-bit BGRA packed by varnok, which the encoder
    // takes as they are; or rgba64le, converted by ffmpeg to `pixelFormat`.
    enum class Feed { Yuv420, Yuva420, Bgra8, Rgba16 };
    Feed feed = Feed::Rgba16;
    std::string pixelFormat;
    bool alpha = false;       // the file keeps the rendered alpha
    bool rgb = false;         // stored as RGB: no YUV matrix
    bool evenSize = false;    // chroma subsampling needs even sizes
    int minWidth = 0, minHeight = 0;
    std::vector<std::string> options;   // -c:v and the encoder's own options
};

// False (with `*error`) when the container cannot hold the codec or the
// quality is outside the codec's range. `quality` is "" for the default:
// a CRF for H.264 (0-51, 18), H.265 (0-51, 20) and VP9 (0-63, 32); the
// profile for ProRes (0 proxy, 1 LT, 2 standard, 3 HQ; 4444: 4, or 5 for
// XQ) and DNxHR (ffmpeg's numbers: 5 LB, 4 SQ, 3 HQ, 2 HQX, 1 444, or these
// names); FFV1 is lossless and takes none. `deep`: the footage has more than
// 8 bits, which every codec but H.264 keeps at 10 bits. `*note` tells of
// what the container drops (VP9's alpha outside webm and mkv).
bool planEncoder(const std::string& extension, VideoCodec codec, const std::string& quality, bool deep,
                 EncoderPlan* plan, std::string* error, std::string* note);

}  // namespace varnok
