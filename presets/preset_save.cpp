#include "presets/preset_save.h"

#include <filesystem>
#include <system_error>

#include "presets/file_replace.h"
#include "presets/number_text.h"
#include "presets/preset_catalogue.h"

namespace ormel {
namespace {

std::string formatValue(ValueKind kind, const PresetValue& v) {
    switch (kind) {
        case ValueKind::Double: return formatPresetDouble(v.number);
        case ValueKind::Integer:
        case ValueKind::Choice: return std::to_string(v.integer);
        case ValueKind::Boolean: return v.flag ? "1" : "0";
        case ValueKind::Rgb:
            return formatPresetDouble(v.rgb[0]) + "," + formatPresetDouble(v.rgb[1]) + "," +
                   formatPresetDouble(v.rgb[2]);
        case ValueKind::Text: return v.text;
    }
    return {};
}

// A line feed inside the name would start a line of its own when read back,
// letting a name smuggle values into the file.
std::string singleLine(std::string text) {
    for (char& c : text) {
        if (c == '\n') c = ' ';
    }
    return text;
}

}  // namespace

std::string formatPresetFile(const ParamAccess& params, double time, const std::string& name) {
    std::string out = "# Varnok preset v1\n";
    if (!name.empty()) out += "presetName=" + singleLine(name) + "\n";
    for (const PresetKey& key : presetKeys()) {
        out += key.name + "=" + formatValue(key.kind, params.valueAt(key.name, time)) + "\n";
    }
    return out;
}

bool savePreset(const ParamAccess& params, const std::string& path, double time,
                const std::string& name) {
    // Paths are UTF-8, as every OpenFX string; u8path gives Windows the wide
    // names its file system takes and changes nothing elsewhere.
    const std::filesystem::path parent = std::filesystem::u8path(path).parent_path();
    if (!parent.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(parent, ignored);
    }
    return replaceFileContent(path, formatPresetFile(params, time, name));
}

}  // namespace ormel
