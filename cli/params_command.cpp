#include <cmath>
#include <cstdio>

#include "cli/commands.h"
#include "cli/json_text.h"
#include "cli/param_text.h"

namespace varnok {

namespace {

std::string jsonNumber(double v) {
    if (!std::isfinite(v)) return "null";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string jsonNumbers(const std::vector<double>& v) {
    std::string out = "[";
    for (size_t i = 0; i < v.size(); ++i) out += (i ? ", " : "") + jsonNumber(v[i]);
    return out + "]";
}

std::string listText(const std::vector<double>& v) {
    std::string out;
    for (size_t i = 0; i < v.size(); ++i) out += (i ? "," : "") + numberText(v[i]);
    return out;
}

std::string defaultText(const ofxhost::ParamInfo& p) {
    using K = ofxhost::ParamKind;
    if (p.kind == K::String || p.kind == K::Custom) return "\"" + p.defaultText + "\"";
    if (p.kind == K::Boolean) return !p.defaultNumbers.empty() && p.defaultNumbers[0] != 0 ? "on" : "off";
    if (p.kind == K::Choice && !p.defaultNumbers.empty()) {
        const double d = p.defaultNumbers[0];
        std::string t = numberText(d);
        if (d >= 0 && d < static_cast<double>(p.options.size()))
            t += " (" + p.options[static_cast<size_t>(d)] + ")";
        return t;
    }
    return listText(p.defaultNumbers);
}

std::string rangeText(const std::vector<double>& lo, const std::vector<double>& hi) {
    if (lo.empty() || hi.empty()) return "";
    return listText(lo) + " to " + listText(hi);
}

}  // namespace

int runParamsCommand(const CliOptions& o) {
    std::string context, error;
    const auto plugin = loadDescribedPlugin(o, &context, &error);
    if (!plugin) return fail(error);
    const auto& params = plugin->params(context);
    if (o.json) {
        std::printf("{\n  \"plugin\": %s,\n  \"version\": \"%u.%u\",\n  \"context\": %s,\n  \"parameters\": [\n",
                    jsonString(plugin->identifier()).c_str(), plugin->versionMajor(), plugin->versionMinor(),
                    jsonString(context).c_str());
        for (size_t i = 0; i < params.size(); ++i) {
            const auto& p = params[i];
            std::printf("    {\"name\": %s, \"kind\": %s, \"label\": %s, \"group\": %s",
                        jsonString(p.name).c_str(), jsonString(ofxhost::kindName(p.kind)).c_str(),
                        jsonString(p.label).c_str(), jsonString(p.parent).c_str());
            if (p.kind == ofxhost::ParamKind::String || p.kind == ofxhost::ParamKind::Custom)
                std::printf(", \"default\": %s", jsonString(p.defaultText).c_str());
            else if (!p.defaultNumbers.empty())
                std::printf(", \"default\": %s", jsonNumbers(p.defaultNumbers).c_str());
            if (!p.minimum.empty())
                std::printf(", \"min\": %s, \"max\": %s", jsonNumbers(p.minimum).c_str(), jsonNumbers(p.maximum).c_str());
            if (!p.displayMinimum.empty())
                std::printf(", \"displayMin\": %s, \"displayMax\": %s", jsonNumbers(p.displayMinimum).c_str(),
                            jsonNumbers(p.displayMaximum).c_str());
            if (p.hasIncrement) std::printf(", \"increment\": %s", jsonNumber(p.increment).c_str());
            if (p.kind == ofxhost::ParamKind::Choice) std::printf(", \"options\": %s", jsonStrings(p.options).c_str());
            if (!p.stringMode.empty()) std::printf(", \"stringMode\": %s", jsonString(p.stringMode).c_str());
            if (p.kind == ofxhost::ParamKind::Page) std::printf(", \"children\": %s", jsonStrings(p.children).c_str());
            std::printf("}%s\n", i + 1 < params.size() ? "," : "");
        }
        std::printf("  ]\n}\n");
        return 0;
    }
    std::printf("%s %u.%u, %zu parameters (%s)\n", plugin->identifier().c_str(), plugin->versionMajor(),
                plugin->versionMinor(), params.size(), context.c_str());
    for (const auto& p : params) {
        std::printf("%-24s %-11s \"%s\"", p.name.c_str(), ofxhost::kindName(p.kind).c_str(), p.label.c_str());
        if (!p.parent.empty()) std::printf("  group %s", p.parent.c_str());
        const std::string d = defaultText(p);
        if (!d.empty()) std::printf("  default %s", d.c_str());
        const std::string range = rangeText(p.minimum, p.maximum);
        if (!range.empty()) std::printf("  range %s", range.c_str());
        const std::string display = rangeText(p.displayMinimum, p.displayMaximum);
        if (!display.empty()) std::printf("  display %s", display.c_str());
        if (p.hasIncrement) std::printf("  step %s", numberText(p.increment).c_str());
        if (!p.stringMode.empty()) std::printf("  mode %s", p.stringMode.c_str());
        std::printf("\n");
        for (size_t i = 0; i < p.options.size(); ++i) std::printf("%28zu: %s\n", i, p.options[i].c_str());
    }
    return 0;
}

}  // namespace varnok
