// Reading a preset file into raw key/value text, and the value parsers that
// differ from plain number reading.
#pragma once

#include <map>
#include <string>

namespace ormel {

using PresetMap = std::map<std::string, std::string>;

// Anything larger cannot be a preset file (one is a few kilobytes); such a file,
// like a missing or unreadable one, reads as empty instead of filling memory.
constexpr std::size_t kMaxPresetFileBytes = 4u << 20;

// key=value lines split at the first "=", nothing trimmed; blank lines, lines
// starting with "#" and lines without "=" are skipped; a repeated key keeps its last value.
PresetMap readPresetFile(const std::string& path);
PresetMap parsePresetText(const std::string& text);

// True exactly for "1", "true" or "TRUE"; fallback when the key is absent.
bool parseBool(const PresetMap& map, const std::string& key, bool fallback);

// "r<sep>g<sep>b" with any one-character separators and white space before each
// item. Writes r, g, b and returns true only when all three numbers read.
bool parseRgb(const PresetMap& map, const std::string& key, double& r, double& g, double& b);

}  // namespace ormel
