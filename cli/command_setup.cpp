#include "cli/command_setup.h"

#include "cli/param_text.h"
#include "cli/preset_options.h"

namespace varnok {

bool setUpCommand(const CliOptions& o, CommandSetup* s, std::string* error) {
    // track samples the effect's settings itself and renders nothing.
    if (o.command == "track" && (o.host.renderScale != 1.0 || o.host.noTemporalHost || o.host.likeMlt)) {
        *error = "--render-scale, --no-temporal-host and --host-like belong to render";
        return false;
    }
    // Looks and buttons act through parameter-change calls, which such a host never makes.
    if (o.host.likeMlt && (!o.preset.empty() || !o.presses.empty())) {
        *error = "--preset and --press act through parameter changes, which --host-like mlt never reports; "
                 "set the values with --set";
        return false;
    }
    std::vector<Assignment> assignments;
    for (const std::string& text : o.sets) {
        Assignment a;
        if (!parseAssignment(text, &a, error)) return false;
        assignments.push_back(a);
    }
    if (classifyPath(o.output).path == classifyPath(o.input).path) {
        *error = "OUTPUT must differ from INPUT";
        return false;
    }
    if (!s->source.open(o.input, error)) return false;
    // From the header alone: a frame too large is refused before it is decoded.
    if (!frameFitsLimit(o.input, s->source.width(), s->source.height(), o.host, error)) return false;
    for (int f : s->source.frames())
        if (!o.hasFrames || (f >= o.firstFrame && f <= o.lastFrame)) s->frames.push_back(f);
    if (s->frames.empty()) {
        *error = "no input frames in " + std::to_string(o.firstFrame) + "-" + std::to_string(o.lastFrame) +
                 " (the input has " + std::to_string(s->source.frames().front()) + "-" +
                 std::to_string(s->source.frames().back()) + ")";
        return false;
    }

    s->plugin = ofxhost::Plugin::load(pluginPath(o), "", error, hostDescription(o.host));
    if (!s->plugin) {
        *error = "cannot load the plug-in: " + *error;
        return false;
    }
    int status = 0;
    s->instance = s->plugin->createInstance(ofxhost::kContextFilter, &status);
    if (!s->instance) {
        const bool described = status == ofxhost::kStatusOK || status == ofxhost::kStatusReplyDefault;
        *error = std::string(described ? "createInstance" : "describeInContext") +
                 " failed: " + ofxhost::statusName(status);
        return false;
    }
    const auto& params = s->plugin->params(ofxhost::kContextFilter);
    ofxhost::Instance& inst = *s->instance;
    // The look first, so --set values adjust it; buttons last, so a save sees them.
    const int first = s->frames.front();
    if (!o.preset.empty() && !applyBuiltinPresetOption(inst, params, o.preset, first, error)) return false;
    if (!applyAssignments(inst, params, assignments, error)) return false;
    if (!pressButtons(inst, params, o.presses, first, error)) return false;

    inst.setSharedFrameProvider("Source", s->source.sharedProvider());
    inst.setFrameLabeler("Source", s->source.labeler());
    inst.setFrameShapeProvider("Source", s->source.shapeProvider());
    const long cacheMb = o.cacheMb >= 0 ? o.cacheMb : defaultCacheMegabytes();
    s->source.setFloatBudget(static_cast<size_t>(cacheMb) * 1048576u);
    inst.setFrameRange(s->source.frames().front(), s->source.frames().back());
    s->fps = o.fps > 0 ? o.fps : s->source.fps();
    inst.setFrameRate(s->fps);
    inst.setRenderScale(o.host.renderScale);
    return true;
}

}  // namespace varnok
