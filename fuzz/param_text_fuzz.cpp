// The host's reading of parameter text for every kind of parameter, with
// ranges and options of any value (a plug-in may describe anything).
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "cli/param_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    varnok_fuzz::FuzzInput in(data, size);
    ofxhost::ParamInfo p;
    p.name = in.text(16);
    p.kind = static_cast<ofxhost::ParamKind>(in.range(0, 15));
    const int components = in.range(0, 4);
    for (int i = 0; i < components; ++i) {
        if (in.flag()) p.minimum.push_back(in.anyDouble());
        if (in.flag()) p.maximum.push_back(in.anyDouble());
    }
    const int options = in.range(0, 4);
    for (int i = 0; i < options; ++i) p.options.push_back(in.text(12));
    const std::string value = in.text(256);

    ofxhost::ParamValue out;
    std::string error;
    varnok::valueFromText(p, value, &out, &error);
    varnok::numberText(in.anyDouble());
    const std::vector<ofxhost::ParamInfo> described = {p};
    varnok::closeNames(in.text(64), described);
    return 0;
}
