// The sound of a render: every audio stream of the source, cut to the
// rendered frames with sample accuracy, copied when the container takes the
// codec and the cut starts at the beginning (to the packet: within one
// frame), otherwise encoded anew (AAC for mp4 and mkv, PCM for mov, Opus for
// webm). PCM is always written anew in its own format, cut to the sample.
#pragma once

#include <string>
#include <vector>

namespace varnok {

struct AudioStream {
    std::string codec;        // ffprobe's codec_name
    std::string sampleFormat;
};

struct AudioCarry {
    std::string source;                 // "" carries no sound
    std::vector<AudioStream> streams;
    double start = 0.0;                 // seconds into the source's timeline
    double duration = 0.0;              // seconds
    bool fromBeginning = true;          // no samples before the cut are dropped
};

// The audio streams of a file; false when ffprobe cannot read it.
bool probeAudioStreams(const std::string& path, std::vector<AudioStream>* out);

// ffmpeg arguments: the source as input number `inputIndex` (before any
// output option), and the mapping and codecs for an output of this extension.
std::vector<std::string> audioInputArgs(const AudioCarry& a);
std::vector<std::string> audioOutputArgs(const AudioCarry& a, int inputIndex, const std::string& extension);
// The codec a stream is written with ("copy" when copied).
std::string audioCodecFor(const AudioStream& s, bool fromBeginning, const std::string& extension);

}  // namespace varnok
