#include "media/audio_carry.h"

#include <cstdio>
#include <sstream>

#include "media/subprocess.h"

namespace varnok {

namespace {

bool takes(const std::string& ext, const std::string& codec) {
    const bool pcm = codec.rfind("pcm_", 0) == 0;
    if (ext == "webm") return codec == "opus" || codec == "vorbis";
    if (ext == "mov") return pcm || codec == "aac" || codec == "alac" || codec == "mp3" || codec == "ac3";
    if (ext == "mp4" || ext == "m4v") return codec == "aac" || codec == "alac" || codec == "mp3" || codec == "ac3" ||
                                              codec == "eac3" || codec == "opus";
    if (ext == "mkv")
        return pcm || codec == "aac" || codec == "alac" || codec == "mp3" || codec == "ac3" || codec == "eac3" ||
               codec == "opus" || codec == "vorbis" || codec == "flac" || codec == "dts" || codec == "truehd";
    if (ext == "avi") return codec == "pcm_s16le" || codec == "mp3" || codec == "ac3";
    return false;
}

std::string seconds(double s) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.9f", s);
    return buf;
}

}  // namespace

bool probeAudioStreams(const std::string& path, std::vector<AudioStream>* out) {
    int status = 0;
    const std::string text = captureOutput({"ffprobe", "-v", "error", "-select_streams", "a", "-show_entries",
                                            "stream=codec_name,sample_fmt", "-of", "csv=p=0", path},
                                           &status);
    if (status != 0) return false;
    out->clear();
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        const size_t comma = line.find(',');
        AudioStream s;
        s.codec = line.substr(0, comma);
        s.sampleFormat = comma == std::string::npos ? "" : line.substr(comma + 1);
        out->push_back(s);
    }
    return true;
}

std::string audioCodecFor(const AudioStream& s, bool fromBeginning, const std::string& ext) {
    // PCM is written anew in its own format: as lossless as a copy, and cut
    // to the sample where a copy stops at a packet.
    if (s.codec.rfind("pcm_", 0) == 0 && takes(ext, s.codec)) return s.codec;
    if (fromBeginning && takes(ext, s.codec)) return "copy";
    if (ext == "webm") return "libopus";
    if (ext == "mov") {
        const bool sixteen = s.sampleFormat == "s16" || s.sampleFormat == "s16p" || s.sampleFormat == "u8" ||
                             s.sampleFormat == "u8p";
        return sixteen ? "pcm_s16le" : "pcm_s24le";
    }
    if (ext == "avi") return "pcm_s16le";
    return "aac";
}

std::vector<std::string> audioInputArgs(const AudioCarry& a) {
    if (a.source.empty() || a.streams.empty()) return {};
    // Input-side cut: ffmpeg trims decoded audio to the sample, copied audio
    // to the packet.
    std::vector<std::string> args;
    if (a.start > 0) args.insert(args.end(), {"-ss", seconds(a.start)});
    args.insert(args.end(), {"-t", seconds(a.duration), "-i", a.source});
    return args;
}

std::vector<std::string> audioOutputArgs(const AudioCarry& a, int inputIndex, const std::string& ext) {
    if (a.source.empty() || a.streams.empty()) return {};
    std::vector<std::string> args = {"-map", std::to_string(inputIndex) + ":a"};
    for (size_t i = 0; i < a.streams.size(); ++i) {
        const std::string codec = audioCodecFor(a.streams[i], a.fromBeginning, ext);
        args.insert(args.end(), {"-c:a:" + std::to_string(i), codec});
        if (codec == "libopus" || codec == "aac")
            args.insert(args.end(), {"-b:a:" + std::to_string(i), codec == "aac" ? "256k" : "192k"});
    }
    return args;
}

}  // namespace varnok
