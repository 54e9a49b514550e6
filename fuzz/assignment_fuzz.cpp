// `--set` text as a user types it: NAME=VALUE and NAME@FRAME=VALUE, parsed,
// checked against the described parameters and written into an instance.
#include <string>
#include <vector>

#include "fuzz/plugin_fixture.h"
#include "cli/param_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ofxhost::Instance& inst = varnok_fuzz::instance();
    const std::vector<ofxhost::ParamInfo>& params = varnok_fuzz::bundle().params(ofxhost::kContextFilter);
    varnok::Assignment a;
    std::string error;
    if (!varnok::parseAssignment(text, &a, &error)) return 0;
    varnok::applyAssignments(inst, params, {a}, &error);
    // Keys must not pile up from one input to the next.
    if (inst.hasParam(a.name)) inst.deleteKeys(a.name);
    return 0;
}
