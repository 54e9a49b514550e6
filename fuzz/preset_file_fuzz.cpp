// Preset files travel between users: any bytes must read, and whatever reads
// must apply, without a crash or a sanitizer report.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "fuzz/fuzz_input.h"
#include "presets/preset_file_read.h"
#include "presets/preset_load.h"
#include "tests/presets/memory_params.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ormel::PresetMap map = ormel::parsePresetText(text);
    for (const auto& [key, value] : map) {
        double r, g, b;
        ormel::parseRgb(map, key, r, g, b);
        ormel::parseBool(map, key, false);
    }
    // One table for every input: values left by one input are as good a
    // starting point as the defaults, and building it costs more than a load.
    static ormel::MemoryParams params;
    params.writes.clear();   // its log of writes would otherwise grow with every input
    if (!map.empty()) ormel::applyPresetMap(params, map);

    // The same bytes through the file reader and the load the buttons use.
    static const std::string path = "/tmp/varnok-fuzz-preset-" + std::to_string(::getpid()) + ".qelvar";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        ormel::loadPreset(params, path);
        std::remove(path.c_str());
    }
    return 0;
}
