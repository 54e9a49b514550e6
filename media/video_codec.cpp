#include "media/video_codec.h"

#include <cstdlib>

namespace varnok {

namespace {

struct CodecRow {
    VideoCodec codec;
    const char* name;
    const char* containers;   // space-separated extensions
};

const CodecRow kCodecs[] = {
    {VideoCodec::H264, "h264", "mp4 m4v mov mkv avi"},
    {VideoCodec::H265, "h265", "mp4 m4v mov mkv"},
    {VideoCodec::ProRes, "prores", "mov mkv"},
    {VideoCodec::ProRes4444, "prores4444", "mov mkv"},
    {VideoCodec::DnxHR, "dnxhr", "mov mkv"},
    {VideoCodec::Ffv1, "ffv1", "mkv avi"},
    {VideoCodec::Vp9, "vp9", "webm mkv mp4"},
};

const CodecRow& rowOf(VideoCodec c) {
    for (const CodecRow& r : kCodecs)
        if (r.codec == c) return r;
    return kCodecs[0];
}

bool takes(const CodecRow& row, const std::string& ext) {
    const std::string list = std::string(" ") + row.containers + " ";
    return !ext.empty() && list.find(" " + ext + " ") != std::string::npos;
}

// An integer within [lo, hi], or the default when `text` is empty.
bool qualityNumber(const std::string& text, int lo, int hi, int fallback, int* out) {
    if (text.empty()) {
        *out = fallback;
        return true;
    }
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < lo || v > hi) return false;
    *out = static_cast<int>(v);
    return true;
}

}  // namespace

bool parseVideoCodec(const std::string& name, VideoCodec* out) {
    for (const CodecRow& r : kCodecs)
        if (name == r.name) {
            *out = r.codec;
            return true;
        }
    return false;
}

const char* videoCodecName(VideoCodec c) { return rowOf(c).name; }

VideoCodec defaultVideoCodec(const std::string& ext) {
    if (ext == "mov") return VideoCodec::ProRes;
    if (ext == "webm") return VideoCodec::Vp9;
    return VideoCodec::H264;
}

bool planEncoder(const std::string& ext, VideoCodec codec, const std::string& quality, bool deep, EncoderPlan* plan,
                 std::string* error, std::string* note) {
    const CodecRow& row = rowOf(codec);
    if (!takes(row, ext)) {
        *error = "a ." + ext + " file cannot hold " + row.name + " video (it goes in: " + row.containers + ")";
        return false;
    }
    EncoderPlan p;
    auto badQuality = [&](const std::string& range) {
        *error = "--quality for " + std::string(row.name) + " expects " + range + ", got \"" + quality + "\"";
        return false;
    };
    int q = 0;
    switch (codec) {
        case VideoCodec::H264:
            // 8-bit whatever the footage: what every player and editor decodes.
            if (!qualityNumber(quality, 0, 51, 18, &q)) return badQuality("a CRF from 0 to 51");
            if (!deep) p.feed = EncoderPlan::Feed::Yuv420;
            p.pixelFormat = "yuv420p";
            p.evenSize = true;
            p.options = {"-c:v", "libx264", "-preset", "medium", "-crf", std::to_string(q)};
            break;
        case VideoCodec::H265:
            if (!qualityNumber(quality, 0, 51, 20, &q)) return badQuality("a CRF from 0 to 51");
            if (!deep) p.feed = EncoderPlan::Feed::Yuv420;
            p.pixelFormat = deep ? "yuv420p10le" : "yuv420p";
            p.evenSize = true;
            p.options = {"-c:v", "libx265", "-preset", "medium", "-crf", std::to_string(q), "-x265-params",
                         "log-level=error"};
            // QuickTime and the editors built on it only play H.265 tagged hvc1.
            if (ext != "mkv") p.options.insert(p.options.end(), {"-tag:v", "hvc1"});
            break;
        case VideoCodec::ProRes:
        case VideoCodec::ProRes4444: {
            const bool full = codec == VideoCodec::ProRes4444;
            if (!qualityNumber(quality, full ? 4 : 0, full ? 5 : 3, full ? 4 : 3, &q))
                return badQuality(full ? "the profile 4 (4444) or 5 (4444 XQ)"
                                       : "the profile 0 (proxy), 1 (LT), 2 (standard) or 3 (HQ)");
            p.pixelFormat = full ? "yuva444p10le" : "yuv422p10le";
            p.alpha = full;
            p.options = {"-c:v", "prores_ks", "-profile:v", std::to_string(q), "-vendor", "apl0"};
            if (full) p.options.insert(p.options.end(), {"-alpha_bits", "16"});
            break;
        }
        case VideoCodec::DnxHR: {
            static const char* names[] = {"", "dnxhr_444", "dnxhr_hqx", "dnxhr_hq", "dnxhr_sq", "dnxhr_lb"};
            q = 0;
            for (int i = 1; i <= 5; ++i)
                if (quality == names[i]) q = i;
            if (q == 0 && !qualityNumber(quality, 1, 5, deep ? 2 : 3, &q))
                return badQuality("the profile 5 (LB), 4 (SQ), 3 (HQ), 2 (HQX) or 1 (444)");
            p.pixelFormat = q == 1 ? "yuv444p10le" : q == 2 ? "yuv422p10le" : "yuv422p";
            p.evenSize = true;
            p.minWidth = 256;
            p.minHeight = 120;
            p.options = {"-c:v", "dnxhd", "-profile:v", names[q]};
            break;
        }
        case VideoCodec::Ffv1:
            if (!quality.empty()) {
                *error = "ffv1 is lossless: --quality does not apply";
                return false;
            }
            p.pixelFormat = deep ? "rgba64le" : "bgra";
            if (!deep) p.feed = EncoderPlan::Feed::Bgra8;
            p.alpha = p.rgb = true;
            p.options = {"-c:v", "ffv1", "-level", "3", "-g", "1", "-slicecrc", "1"};
            break;
        case VideoCodec::Vp9:
            if (!qualityNumber(quality, 0, 63, 32, &q)) return badQuality("a CRF from 0 to 63");
            // Only Matroska and WebM carry VP9's alpha, and libvpx codes alpha at 8 bits.
            p.alpha = ext != "mp4";
            if (!p.alpha && note) *note = "a .mp4 file cannot hold VP9's alpha: use .webm or .mkv to keep it";
            p.pixelFormat = p.alpha ? "yuva420p" : deep ? "yuv420p10le" : "yuv420p";
            if (!deep) p.feed = p.alpha ? EncoderPlan::Feed::Yuva420 : EncoderPlan::Feed::Yuv420;
            p.evenSize = true;
            p.options = {"-c:v", "libvpx-vp9", "-crf", std::to_string(q), "-b:v", "0", "-row-mt", "1",
                         "-deadline", "good", "-cpu-used", "4"};
            break;
    }
    *plan = p;
    return true;
}

}  // namespace varnok
