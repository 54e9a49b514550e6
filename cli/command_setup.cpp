#include "cli/command_setup.h"

#include <algorithm>
#include <cctype>

#include "cli/param_text.h"
#include "cli/plugin_choice.h"
#include "cli/preset_options.h"

namespace varnok {

namespace {

bool sameLetters(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// A name that matches no parameter exactly but one alone in any letter case
// ("transition" for the standard's "Transition") takes that one's name.
void matchNames(const std::vector<ofxhost::ParamInfo>& params, std::vector<Assignment>* assignments) {
    for (Assignment& a : *assignments) {
        const ofxhost::ParamInfo* only = nullptr;
        int matches = 0;
        bool exact = false;
        for (const ofxhost::ParamInfo& p : params) {
            exact = exact || p.name == a.name;
            if (sameLetters(p.name, a.name)) {
                only = &p;
                ++matches;
            }
        }
        if (!exact && matches == 1) a.name = only->name;
    }
}

// The frames to render: INPUT's within --frames, or --frames alone.
bool chooseFrames(const CliOptions& o, CommandSetup* s, std::string* error) {
    if (!s->hasSource) {
        for (int f = o.firstFrame; f <= o.lastFrame; ++f) s->frames.push_back(f);
        return true;
    }
    for (int f : s->source.frames())
        if (!o.hasFrames || (f >= o.firstFrame && f <= o.lastFrame)) s->frames.push_back(f);
    if (s->frames.empty()) {
        *error = "no input frames in " + std::to_string(o.firstFrame) + "-" + std::to_string(o.lastFrame) +
                 " (the input has " + std::to_string(s->source.frames().front()) + "-" +
                 std::to_string(s->source.frames().back()) + ")";
        return false;
    }
    return true;
}

// INPUT and --input: the footage opened and every clip that needs some fed.
bool openFootage(const CliOptions& o, const std::vector<ClipFacts>& inputs, CommandSetup* s, std::string* error) {
    s->mainClip = mainClipOf(inputs);
    if (!o.input.empty()) {
        if (s->mainClip.empty()) {
            *error = "the " + contextWord(s->context) + " context of " + s->plugin->identifier() +
                     " takes no INPUT (use --size WxH and --frames A-B)";
            return false;
        }
        if (classifyPath(o.output).path == classifyPath(o.input).path) {
            *error = "OUTPUT must differ from INPUT";
            return false;
        }
        if (!s->source.open(o.input, error)) return false;
        s->hasSource = true;
        s->width = s->source.width();
        s->height = s->source.height();
        // From the header alone: a frame too large is refused before it is decoded.
        if (!frameFitsLimit(o.input, s->width, s->height, o.host, error)) return false;
    } else if (o.width <= 0 || !o.hasFrames) {
        *error = s->mainClip.empty() ? "a render with no INPUT needs --size WxH and --frames A-B"
                                     : "the clip \"" + s->mainClip + "\" needs an INPUT";
        return false;
    } else {
        s->width = o.width;
        s->height = o.height;
        if (!frameFitsLimit("--size", s->width, s->height, o.host, error)) return false;
    }
    if (!openExtraInputs(o.inputs, inputs, s->hasSource ? s->mainClip : "", &s->extraInputs, error)) return false;
    for (const ClipFacts& c : inputs) {
        const bool fed = (c.name == s->mainClip && s->hasSource) ||
                         std::any_of(s->extraInputs.begin(), s->extraInputs.end(),
                                     [&](const ExtraInput& e) { return e.clip == c.name; });
        if (!fed && !c.optional) {
            *error = "the clip \"" + c.name + "\" is not optional and has no footage (give it with " +
                     (c.name == s->mainClip ? std::string("INPUT") : "--input " + c.name + "=PATH") + ")";
            return false;
        }
    }
    return true;
}

}  // namespace

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
    s->plugin = loadChosenPlugin(pluginPath(o), o.pluginId, hostDescription(o.host), error);
    if (!s->plugin) return false;
    s->context = chooseContext(*s->plugin, o.context, error);
    if (s->context.empty() || !describeIn(*s->plugin, s->context, error)) return false;
    if (!openFootage(o, inputClips(s->plugin->clips(s->context)), s, error)) return false;
    if (!chooseFrames(o, s, error)) return false;

    int status = 0;
    s->instance = s->plugin->createInstance(s->context, &status);
    if (!s->instance) {
        *error = actionFailure(*s->plugin, "create-instance", status);
        return false;
    }
    const auto& params = s->plugin->params(s->context);
    matchNames(params, &assignments);
    ofxhost::Instance& inst = *s->instance;
    // A transition runs its course over the frames unless the user sets it.
    const std::string transition = "Transition";
    if (s->context == ofxhost::kContextTransition && inst.hasParam(transition) &&
        std::none_of(assignments.begin(), assignments.end(), [&](const Assignment& a) { return a.name == transition; })) {
        inst.setKey(transition, s->frames.front(), ofxhost::ParamValue::number(0.0));
        if (s->frames.back() > s->frames.front())
            inst.setKey(transition, s->frames.back(), ofxhost::ParamValue::number(1.0));
    }
    // The look first, so --set values adjust it; buttons last, so a save sees them.
    const int first = s->frames.front();
    if (!o.preset.empty() && !applyBuiltinPresetOption(inst, params, o.preset, first, error)) return false;
    if (!applyAssignments(inst, params, assignments, error)) return false;
    if (!pressButtons(inst, params, o.presses, first, error)) return false;

    if (s->hasSource) {
        inst.setSharedFrameProvider(s->mainClip, s->source.sharedProvider());
        inst.setFrameLabeler(s->mainClip, s->source.labeler());
        inst.setFrameShapeProvider(s->mainClip, s->source.shapeProvider());
        const long cacheMb = o.cacheMb >= 0 ? o.cacheMb : defaultCacheMegabytes();
        s->source.setFloatBudget(static_cast<size_t>(cacheMb) * 1048576u);
    }
    for (ExtraInput& e : s->extraInputs) inst.setFrameProvider(e.clip, heldFrameProvider(*e.source));
    if (s->hasSource) inst.setFrameRange(s->source.frames().front(), s->source.frames().back());
    else inst.setFrameRange(s->frames.front(), s->frames.back());
    s->fps = o.fps > 0 ? o.fps : s->hasSource ? s->source.fps() : 24.0;
    inst.setFrameRate(s->fps);
    inst.setRenderScale(o.host.renderScale);
    return true;
}

}  // namespace varnok
