#include "cli/track_formats.h"

#include <cstdio>

namespace varnok {
namespace {

// Shortest text that reads back as the same float.
std::string num(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
    return buf;
}

// Columns added later go last: files and scripts read the earlier ones by position.
std::string csv(const std::vector<TrackedFrame>& frames) {
    std::string s = "frame,id,x,y,min_x,min_y,max_x,max_y,area,speed,track,age\n";
    for (const TrackedFrame& f : frames)
        for (size_t i = 0; i < f.tracks.size(); ++i) {
            const ormel::Track& t = f.tracks[i];
            const ormel::Blob& b = t.blob;
            s += std::to_string(f.frame) + "," + std::to_string(t.id) + "," + num(b.center.x) + "," +
                 num(b.center.y) + "," + std::to_string(b.minX) + "," + std::to_string(b.minY) + "," +
                 std::to_string(b.maxX) + "," + std::to_string(b.maxY) + "," + std::to_string(b.area) + "," +
                 num(t.speed) + "," + std::to_string(f.numbers.at(i).track) + "," +
                 std::to_string(f.numbers.at(i).age) + "\n";
        }
    return s;
}

std::string json(const TrackExport& data) {
    const std::vector<TrackedFrame>& frames = data.frames;
    std::string s = "{\"width\":" + std::to_string(data.width) + ",\"height\":" + std::to_string(data.height) +
                    ",\"frames\":[";
    for (size_t i = 0; i < frames.size(); ++i) {
        const TrackedFrame& f = frames[i];
        s += std::string(i ? "," : "") + "\n{\"frame\":" + std::to_string(f.frame) + ",\"tracks\":[";
        for (size_t j = 0; j < f.tracks.size(); ++j) {
            const ormel::Track& t = f.tracks[j];
            const ormel::Blob& b = t.blob;
            s += std::string(j ? "," : "") + "{\"id\":" + std::to_string(t.id) +
                 ",\"track\":" + std::to_string(f.numbers.at(j).track) +
                 ",\"age\":" + std::to_string(f.numbers.at(j).age) + ",\"x\":" + num(b.center.x) +
                 ",\"y\":" + num(b.center.y) + ",\"box\":[" + std::to_string(b.minX) + "," +
                 std::to_string(b.minY) + "," + std::to_string(b.maxX) + "," + std::to_string(b.maxY) +
                 "],\"area\":" + std::to_string(b.area) + ",\"speed\":" + num(t.speed) + ",\"trail\":[";
            for (size_t k = 0; k < t.trail.size(); ++k)
                s += std::string(k ? "," : "") + "[" + num(t.trail[k].x) + "," + num(t.trail[k].y) + "]";
            s += "]}";
        }
        s += "]}";
    }
    s += "\n],\"tracks\":[";
    for (size_t i = 0; i < data.objects.size(); ++i) {
        const ormel::FollowedObject& o = data.objects[i];
        s += std::string(i ? "," : "") + "\n{\"track\":" + std::to_string(o.number) +
             ",\"first_frame\":" + std::to_string(o.firstFrame) + ",\"last_frame\":" + std::to_string(o.lastFrame) +
             ",\"frames_seen\":" + std::to_string(o.framesSeen) + "}";
    }
    s += "\n]}\n";
    return s;
}

// Keyframe data as After Effects copies it to the clipboard: tab-separated,
// pasted onto a layer's Position.
std::string afterEffects(const std::vector<std::pair<int, const ormel::Track*>>& keys, int width, int height,
                         double fps) {
    char buf[160];
    std::string s = "Adobe After Effects 8.0 Keyframe Data\n\n";
    std::snprintf(buf, sizeof buf, "\tUnits Per Second\t%g\n\tSource Width\t%d\n\tSource Height\t%d\n", fps, width,
                  height);
    s += buf;
    s += "\tSource Pixel Aspect Ratio\t1\n\tComp Pixel Aspect Ratio\t1\n\nTransform\tPosition\n";
    s += "\tFrame\tX pixels\tY pixels\tZ pixels\t\n";
    for (const auto& k : keys)
        s += "\t" + std::to_string(k.first) + "\t" + num(k.second->blob.center.x) + "\t" +
             num(k.second->blob.center.y) + "\t0\t\n";
    s += "\n\nEnd of Keyframe Data\n";
    return s;
}

// One line per frame: frame, x, y, with y counted up from the bottom.
std::string nukeChan(const std::vector<std::pair<int, const ormel::Track*>>& keys, int height) {
    std::string s;
    for (const auto& k : keys)
        s += std::to_string(k.first) + " " + num(k.second->blob.center.x) + " " +
             num(static_cast<float>(height) - k.second->blob.center.y) + "\n";
    return s;
}

}  // namespace

bool parseTrackFormat(const std::string& name, TrackFormat* format) {
    if (name == "csv") *format = TrackFormat::Csv;
    else if (name == "json") *format = TrackFormat::Json;
    else if (name == "ae") *format = TrackFormat::AfterEffects;
    else if (name == "chan") *format = TrackFormat::NukeChan;
    else return false;
    return true;
}

bool trackFormatForPath(const std::string& path, TrackFormat* format) {
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (ext == "txt") ext = "ae";
    return parseTrackFormat(ext, format);
}

bool formatTracks(TrackFormat format, const TrackExport& data, TrackChoice choice, std::string* out,
                  std::string* error) {
    if (format == TrackFormat::Csv) {
        *out = csv(data.frames);
        return true;
    }
    if (format == TrackFormat::Json) {
        *out = json(data);
        return true;
    }
    std::vector<std::pair<int, const ormel::Track*>> keys;
    for (const TrackedFrame& f : data.frames)
        for (size_t i = 0; i < f.tracks.size(); ++i)
            if (choice.track >= 1 ? f.numbers.at(i).track == choice.track : f.tracks[i].id == choice.id)
                keys.push_back({f.frame, &f.tracks[i]});
    if (keys.empty()) {
        *error = choice.track >= 1 ? "no track " + std::to_string(choice.track) + " in the frames tracked"
                                   : "no track has id " + std::to_string(choice.id) + " in the frames tracked";
        return false;
    }
    *out = format == TrackFormat::AfterEffects ? afterEffects(keys, data.width, data.height, data.fps)
                                               : nukeChan(keys, data.height);
    return true;
}

}  // namespace varnok
