#include "cli/host_options.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cli/option_values.h"
#include "host/ofx_host.h"

namespace varnok {

OptionParse parseHostOption(const std::string& a, const std::function<bool(std::string*)>& value,
                            HostOptions* o, std::string* error) {
    std::string v;
    if (a == "--no-temporal-host") {
        o->noTemporalHost = true;
        return OptionParse::Taken;
    }
    if (a == "--host-like") {
        if (!value(&v)) return OptionParse::Error;
        if (v != "mlt") {
            *error = "--host-like expects mlt, got \"" + v + "\"";
            return OptionParse::Error;
        }
        o->likeMlt = true;
        return OptionParse::Taken;
    }
    if (a == "--render-scale") {
        if (!value(&v)) return OptionParse::Error;
        char* end = nullptr;
        const double s = std::strtod(v.c_str(), &end);
        if (v.empty() || *end != '\0' || !(s >= 0.01) || s > 1.0) {
            *error = "--render-scale expects a scale between 0.01 and 1, got \"" + v + "\"";
            return OptionParse::Error;
        }
        o->renderScale = s;
        return OptionParse::Taken;
    }
    if (a == "--max-frame-mb") {
        if (!value(&v)) return OptionParse::Error;
        if (!wholeNumberOption(a, v, 1, 1000000000L, "megabytes between 1 and 1000000000", &o->maxFrameMb, error))
            return OptionParse::Error;
        return OptionParse::Taken;
    }
    return OptionParse::NotMine;
}

ofxhost::HostDescription hostDescription(const HostOptions& o) {
    if (o.likeMlt) return ofxhost::HostDescription::mltLike();
    return ofxhost::HostDescription{!o.noTemporalHost};
}

long defaultMaxFrameMegabytes() {
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return 4000;
    return static_cast<long>(static_cast<double>(pages) * static_cast<double>(pageSize) / 2.0 / 1e6);
}

bool frameFitsLimit(const std::string& name, int width, int height, const HostOptions& o, std::string* error) {
    const long limitMb = o.maxFrameMb > 0 ? o.maxFrameMb : defaultMaxFrameMegabytes();
    const double bytes = static_cast<double>(width) * static_cast<double>(height) * 16.0;
    if (bytes <= static_cast<double>(limitMb) * 1e6) return true;
    char line[512];
    const bool gigabytes = bytes >= 1e9;
    std::snprintf(line, sizeof line, "%s: frame %dx%d needs %.1f %s as float RGBA (limit %ld MB; see --max-frame-mb)",
                  name.c_str(), width, height, gigabytes ? bytes / 1e9 : bytes / 1e6, gigabytes ? "GB" : "MB",
                  limitMb);
    *error = line;
    return false;
}

std::vector<std::string> pluginNotices(const ofxhost::Plugin& plugin) {
    std::vector<std::string> out;
    for (const std::string& m : plugin.messages())
        for (const char* type : {"OfxMessageWarning: ", "OfxMessageError: ", "OfxMessageFatal: "})
            if (m.rfind(type, 0) == 0) out.push_back(m.substr(m.find(": ") + 2));
    return out;
}

}  // namespace varnok
