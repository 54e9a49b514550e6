#include "cli/track_formats.h"

#include <cstdio>
#include <map>

namespace varnok {
namespace {

// Shortest text that reads back as the same float.
std::string num(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
    return buf;
}

const char* stateName(ormel::TrackState s) {
    return s == ormel::TrackState::Seen ? "seen" : s == ormel::TrackState::Merged ? "merged" : "predicted";
}

// The effect's track whose region a place holds; null for none.
const ormel::Track* regionOf(const TrackedFrame& f, const ormel::ObjectPlace& p) {
    return p.region >= 0 ? &f.tracks.at(static_cast<size_t>(p.region)) : nullptr;
}

// The rows a file holds, frame by frame.
template <typename Fn>
void forEachRow(const TrackExport& data, Fn&& fn) {
    for (const TrackedFrame& f : data.frames)
        for (const ormel::ObjectPlace& p : f.places)
            if (data.states.hold(p.state)) fn(f, p, regionOf(f, p));
}

// Columns added later go last: files and scripts read the earlier ones by position.
std::string csv(const TrackExport& data) {
    std::string s = "frame,id,x,y,min_x,min_y,max_x,max_y,area,speed,track,age,state\n";
    forEachRow(data, [&s](const TrackedFrame& f, const ormel::ObjectPlace& p, const ormel::Track* t) {
        const ormel::Blob& b = p.box;
        s += std::to_string(f.frame) + "," + std::to_string(t ? t->id : 0) + "," + num(p.at.x) + "," +
             num(p.at.y) + "," + std::to_string(b.minX) + "," + std::to_string(b.minY) + "," +
             std::to_string(b.maxX) + "," + std::to_string(b.maxY) + "," + std::to_string(b.area) + "," +
             num(p.speed) + "," + std::to_string(p.track) + "," + std::to_string(p.age) + "," +
             stateName(p.state) + "\n";
    });
    return s;
}

std::string json(const TrackExport& data) {
    std::string s = "{\"width\":" + std::to_string(data.width) + ",\"height\":" + std::to_string(data.height) +
                    ",\"frames\":[";
    for (size_t i = 0; i < data.frames.size(); ++i) {
        const TrackedFrame& f = data.frames[i];
        s += std::string(i ? "," : "") + "\n{\"frame\":" + std::to_string(f.frame) + ",\"tracks\":[";
        bool first = true;
        for (const ormel::ObjectPlace& p : f.places) {
            if (!data.states.hold(p.state)) continue;
            const ormel::Track* t = regionOf(f, p);
            const ormel::Blob& b = p.box;
            s += std::string(first ? "" : ",") + "{\"id\":" + std::to_string(t ? t->id : 0) +
                 ",\"track\":" + std::to_string(p.track) + ",\"age\":" + std::to_string(p.age) +
                 ",\"state\":\"" + stateName(p.state) + "\",\"x\":" + num(p.at.x) + ",\"y\":" + num(p.at.y) +
                 ",\"box\":[" + std::to_string(b.minX) + "," + std::to_string(b.minY) + "," +
                 std::to_string(b.maxX) + "," + std::to_string(b.maxY) + "],\"area\":" + std::to_string(b.area) +
                 ",\"speed\":" + num(p.speed) + ",\"trail\":[";
            for (size_t k = 0; t && k < t->trail.size(); ++k)
                s += std::string(k ? "," : "") + "[" + num(t->trail[k].x) + "," + num(t->trail[k].y) + "]";
            s += "]}";
            first = false;
        }
        s += "]}";
    }
    // Each track's span over its rows of every state, whichever are written.
    struct Span {
        int first = 0, last = 0, seen = 0;
    };
    std::map<int32_t, Span> spans;
    for (const TrackedFrame& f : data.frames)
        for (const ormel::ObjectPlace& p : f.places) {
            Span& span = spans.emplace(p.track, Span{f.frame, f.frame, 0}).first->second;
            span.last = f.frame;
            span.seen += p.state == ormel::TrackState::Seen;
        }
    s += "\n],\"tracks\":[";
    for (const auto& [number, span] : spans)
        s += std::string(number == spans.begin()->first ? "" : ",") + "\n{\"track\":" + std::to_string(number) +
             ",\"first_frame\":" + std::to_string(span.first) + ",\"last_frame\":" + std::to_string(span.last) +
             ",\"frames_seen\":" + std::to_string(span.seen) + "}";
    s += "\n]}\n";
    return s;
}

// Keyframe data as After Effects copies it to the clipboard: tab-separated,
// pasted onto a layer's Position.
std::string afterEffects(const std::vector<std::pair<int, ormel::Vec2>>& keys, int width, int height, double fps) {
    char buf[160];
    std::string s = "Adobe After Effects 8.0 Keyframe Data\n\n";
    std::snprintf(buf, sizeof buf, "\tUnits Per Second\t%g\n\tSource Width\t%d\n\tSource Height\t%d\n", fps, width,
                  height);
    s += buf;
    s += "\tSource Pixel Aspect Ratio\t1\n\tComp Pixel Aspect Ratio\t1\n\nTransform\tPosition\n";
    s += "\tFrame\tX pixels\tY pixels\tZ pixels\t\n";
    for (const auto& k : keys)
        s += "\t" + std::to_string(k.first) + "\t" + num(k.second.x) + "\t" + num(k.second.y) + "\t0\t\n";
    s += "\n\nEnd of Keyframe Data\n";
    return s;
}

// One line per frame: frame, x, y, with y counted up from the bottom.
std::string nukeChan(const std::vector<std::pair<int, ormel::Vec2>>& keys, int height) {
    std::string s;
    for (const auto& k : keys)
        s += std::to_string(k.first) + " " + num(k.second.x) + " " + num(static_cast<float>(height) - k.second.y) +
             "\n";
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

bool parseTrackStates(const std::string& list, TrackStates* states) {
    if (list == "all") {
        *states = TrackStates{};
        return true;
    }
    TrackStates s{false, false, false};
    size_t from = 0;
    for (;;) {
        const size_t comma = list.find(',', from);
        const std::string name = list.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        if (name == "seen") s.seen = true;
        else if (name == "merged") s.merged = true;
        else if (name == "predicted") s.predicted = true;
        else return false;
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    *states = s;
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
        *out = csv(data);
        return true;
    }
    if (format == TrackFormat::Json) {
        *out = json(data);
        return true;
    }
    std::vector<std::pair<int, ormel::Vec2>> keys;
    forEachRow(data, [&](const TrackedFrame& f, const ormel::ObjectPlace& p, const ormel::Track* t) {
        if (choice.track >= 1 ? p.track == choice.track : t && t->id == choice.id) keys.push_back({f.frame, p.at});
    });
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
