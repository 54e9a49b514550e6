#include "cli/output_settings.h"

#include "media/media_path.h"
#include "media/timecode.h"

namespace varnok {

bool outputSettings(const CliOptions& o, const CommandSetup& s, VideoOutput* out, std::string* error,
                    std::string* note) {
    const FrameSource& source = s.source;
    const bool videoIn = source.kind() == MediaKind::Video;
    const bool videoOut = classifyPath(o.output).kind == MediaKind::Video;
    // The footage's own rate times the sound; the output's may be --fps.
    const FrameRate sourceRate = videoIn || !o.rate.valid() ? source.rate() : o.rate;
    out->rate = o.rate.valid() ? o.rate : source.rate();
    out->deep = source.sampleType() != SampleType::U8;
    out->quality = o.quality;
    if (!o.codec.empty()) {
        if (!parseVideoCodec(o.codec, &out->codec)) {
            *error = "--codec expects h264, h265, prores, prores4444, dnxhr, ffv1 or vp9, got \"" + o.codec + "\"";
            return false;
        }
        out->codecChosen = true;
    }
    if ((out->codecChosen || !o.quality.empty()) && !videoOut) {
        *error = "--codec and --quality belong to video outputs (mp4, mov, mkv, webm)";
        return false;
    }
    out->colour = videoIn ? source.videoInfo().colour : colourForHeight(s.height);

    const int first = s.frames.front();
    const long long offset = s.hasSource ? static_cast<long long>(first) - source.frames().front() : 0;
    Timecode tc;
    if (!o.timecode.empty()) {
        if (!parseTimecode(o.timecode, out->rate, &tc, error)) {
            *error = "--timecode: " + *error;
            return false;
        }
        out->timecode = formatTimecode(tc);
    } else if (videoIn && !source.videoInfo().timecode.empty()) {
        std::string why;
        if (parseTimecode(source.videoInfo().timecode, out->rate, &tc, &why))
            out->timecode = formatTimecode(shiftTimecode(tc, offset));
        else if (note)
            *note = "the input's timecode is not carried: " + why;
    }

    if (o.noAudio && !o.audio.empty()) {
        *error = "--audio and --no-audio contradict each other";
        return false;
    }
    if (!o.audio.empty() && !videoOut) {
        *error = "--audio needs a video OUTPUT (mp4, mov, mkv, webm): image sequences carry no sound";
        return false;
    }
    std::string sound = o.noAudio || !videoOut ? std::string() : !o.audio.empty() ? o.audio : videoIn ? o.input : "";
    if (sound.empty()) return true;
    if (!fileExists(sound)) {
        *error = "--audio: no such file " + sound;
        return false;
    }
    AudioCarry& a = out->audio;
    if (!probeAudioStreams(sound, &a.streams)) {
        *error = "cannot read the sound of " + sound;
        return false;
    }
    if (a.streams.empty()) {
        if (!o.audio.empty()) {
            *error = "--audio " + sound + " has no audio stream";
            return false;
        }
        return true;   // a silent video: nothing to carry
    }
    a.source = sound;
    // Frame `first` of the footage starts the sound; a video's own sound is
    // on its timeline, where the first frame may start late.
    const double lead = sound == o.input && videoIn ? source.videoInfo().start : 0.0;
    a.start = lead + static_cast<double>(offset) * sourceRate.den / sourceRate.num;
    a.duration = static_cast<double>(s.frames.size()) * sourceRate.den / sourceRate.num;
    a.fromBeginning = offset == 0;
    return true;
}

}  // namespace varnok
