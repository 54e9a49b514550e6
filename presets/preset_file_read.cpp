#include "presets/preset_file_read.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <locale>
#include <sstream>

namespace ormel {

PresetMap parsePresetText(const std::string& text) {
    PresetMap map;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t stop = text.find('\n', start);
        if (stop == std::string::npos) stop = text.size();
        const std::string line = text.substr(start, stop - start);
        start = stop + 1;
        if (line.empty() || line[0] == '#') continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        map[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return map;
}

PresetMap readPresetFile(const std::string& path) {
    // UTF-8 path: a plain char path would be read in the Windows code page.
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    if (!in) return {};
    std::string text;
    char buffer[8192];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxPresetFileBytes) return {};
    }
    if (in.bad()) return {};
    return parsePresetText(text);
}

bool parseBool(const PresetMap& map, const std::string& key, bool fallback) {
    const auto it = map.find(key);
    if (it == map.end()) return fallback;
    return it->second == "1" || it->second == "true" || it->second == "TRUE";
}

bool parseRgb(const PresetMap& map, const std::string& key, double& r, double& g, double& b) {
    const auto it = map.find(key);
    if (it == map.end()) return false;
    std::istringstream in(it->second);
    in.imbue(std::locale::classic());
    double cr = 0.0, cg = 0.0, cb = 0.0;
    char separator = 0;
    in >> cr >> separator >> cg >> separator >> cb;
    // libc++'s streams (the macOS build) read "nan" and "inf", libstdc++'s do not.
    if (in.fail() || !std::isfinite(cr) || !std::isfinite(cg) || !std::isfinite(cb)) return false;
    r = cr;
    g = cg;
    b = cb;
    return true;
}

}  // namespace ormel
