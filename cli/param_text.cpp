#include "cli/param_text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace varnok {

namespace {

std::string trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool parseNumber(const std::string& text, double* out) {
    const std::string t = trim(text);
    if (t.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || errno == ERANGE || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

bool parseInteger(const std::string& text, double* out) {
    double v;
    if (!parseNumber(text, &v) || v != std::floor(v) || std::fabs(v) > 2147483647.0) return false;
    *out = v;
    return true;
}

// A plug-in may give a lower bound without an upper one, or the reverse.
std::string rangeText(const ofxhost::ParamInfo& p, size_t i) {
    const bool low = i < p.minimum.size(), high = i < p.maximum.size();
    if (low && high) return "between " + numberText(p.minimum[i]) + " and " + numberText(p.maximum[i]);
    if (low) return "at least " + numberText(p.minimum[i]);
    return "at most " + numberText(p.maximum[i]);
}

bool inRange(const ofxhost::ParamInfo& p, const std::vector<double>& v, std::string* error) {
    for (size_t i = 0; i < v.size(); ++i) {
        if (i < p.minimum.size() && v[i] < p.minimum[i]) {
            *error = p.name + ": " + numberText(v[i]) + " is out of range; it must be " + rangeText(p, i);
            return false;
        }
        if (i < p.maximum.size() && v[i] > p.maximum[i]) {
            *error = p.name + ": " + numberText(v[i]) + " is out of range; it must be " + rangeText(p, i);
            return false;
        }
    }
    return true;
}

}  // namespace

std::string numberText(double v) {
    if (v >= 2147483647.0) return "+inf";
    if (v <= -2147483648.0) return "-inf";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

bool parseAssignment(const std::string& text, Assignment* out, std::string* error) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) {
        *error = "--set expects NAME=VALUE or NAME@FRAME=VALUE, got \"" + text + "\"";
        return false;
    }
    std::string lhs = text.substr(0, eq);
    out->value = text.substr(eq + 1);
    const size_t at = lhs.find('@');
    out->keyed = at != std::string::npos;
    if (out->keyed) {
        if (!parseNumber(lhs.substr(at + 1), &out->frame)) {
            *error = "--set " + text + ": \"" + lhs.substr(at + 1) + "\" is not a frame number";
            return false;
        }
        lhs = lhs.substr(0, at);
    }
    out->name = trim(lhs);
    if (out->name.empty()) {
        *error = "--set " + text + ": missing parameter name";
        return false;
    }
    return true;
}

bool valueFromText(const ofxhost::ParamInfo& p, const std::string& text, ofxhost::ParamValue* out,
                   std::string* error) {
    using K = ofxhost::ParamKind;
    out->numbers.clear();
    out->text.clear();
    const std::string kind = ofxhost::kindName(p.kind);
    switch (p.kind) {
        case K::Double:
        case K::Integer: {
            const bool whole = p.kind == K::Integer;
            double v;
            if (!(whole ? parseInteger(text, &v) : parseNumber(text, &v))) {
                *error = p.name + (whole ? " is an integer; \"" : " is a double; \"") + text +
                         (whole ? "\" is not a whole number" : "\" is not a number");
                return false;
            }
            out->numbers = {v};
            return inRange(p, out->numbers, error);
        }
        case K::Boolean: {
            const std::string t = lower(trim(text));
            if (t == "true" || t == "1" || t == "on" || t == "yes") out->numbers = {1};
            else if (t == "false" || t == "0" || t == "off" || t == "no") out->numbers = {0};
            else {
                *error = p.name + " is a boolean; use true/false, 1/0 or on/off, not \"" + text + "\"";
                return false;
            }
            return true;
        }
        case K::Choice: {
            for (size_t i = 0; i < p.options.size(); ++i)
                if (p.options[i] == text) {
                    out->numbers = {static_cast<double>(i)};
                    return true;
                }
            double v;
            if (parseInteger(text, &v)) {
                if (v < 0 || v >= static_cast<double>(p.options.size())) {
                    *error = p.name + ": choice " + numberText(v) + " is out of range; it must be between 0 and " +
                             std::to_string(static_cast<long>(p.options.size()) - 1);
                    return false;
                }
                out->numbers = {v};
                return true;
            }
            std::string list;
            for (size_t i = 0; i < p.options.size(); ++i)
                list += (i ? ", " : "") + std::to_string(i) + " \"" + p.options[i] + "\"";
            *error = p.name + ": \"" + text + "\" is not one of its options: " + list;
            return false;
        }
        case K::RGB: case K::RGBA: case K::Double2D: case K::Double3D: case K::Integer2D: case K::Integer3D: {
            const size_t n = p.kind == K::RGBA ? 4
                             : (p.kind == K::Double2D || p.kind == K::Integer2D) ? 2 : 3;
            std::vector<double> v;
            size_t start = 0;
            while (true) {
                const size_t comma = text.find(',', start);
                double d;
                const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                const bool ok = (p.kind == K::Integer2D || p.kind == K::Integer3D) ? parseInteger(item, &d)
                                                                                  : parseNumber(item, &d);
                if (!ok) {
                    v.clear();
                    break;
                }
                v.push_back(d);
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
            // A colour may leave out alpha.
            if (p.kind == K::RGBA && v.size() == 3) v.push_back(1.0);
            if (v.size() != n) {
                *error = p.name + " is " + (p.kind == K::RGB || p.kind == K::RGBA ? "a colour" : "a " + kind) +
                         "; write " + std::to_string(n) + " numbers separated by commas, not \"" + text + "\"";
                return false;
            }
            out->numbers = v;
            return inRange(p, v, error);
        }
        case K::String: case K::Custom:
            out->text = text;
            return true;
        default:
            *error = p.name + " is a " + kind + " and holds no value";
            return false;
    }
}

size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> prev(b.size() + 1), cur(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) prev[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        cur[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t sub = prev[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, sub});
        }
        std::swap(prev, cur);
    }
    return prev[b.size()];
}

std::vector<std::string> closeNames(const std::string& name, const std::vector<ofxhost::ParamInfo>& params) {
    std::vector<std::pair<size_t, std::string>> scored;
    const std::string lname = lower(name);
    for (const auto& p : params) {
        if (p.kind == ofxhost::ParamKind::Group || p.kind == ofxhost::ParamKind::Page) continue;
        const std::string lp = lower(p.name);
        // A fragment of a long name is a good hint too ("temporal" for "temporalFrames").
        const bool fragment = lname.size() >= 4 && lp.find(lname) != std::string::npos;
        const size_t allowed = std::max<size_t>(2, name.size() / 3);
        // The distance is at least the difference in length: names far longer
        // or shorter are out without the quadratic comparison.
        const size_t gap = lname.size() > lp.size() ? lname.size() - lp.size() : lp.size() - lname.size();
        if (!fragment && gap > allowed) continue;
        size_t d = editDistance(lname, lp);
        if (fragment) d = std::min<size_t>(d, 2);
        if (d <= allowed) scored.push_back({d, p.name});
    }
    std::sort(scored.begin(), scored.end());
    std::vector<std::string> out;
    for (size_t i = 0; i < scored.size() && i < 3; ++i) out.push_back(scored[i].second);
    return out;
}

bool applyAssignments(ofxhost::Instance& instance, const std::vector<ofxhost::ParamInfo>& params,
                      const std::vector<Assignment>& assignments, std::string* error) {
    for (const Assignment& a : assignments) {
        const ofxhost::ParamInfo* info = nullptr;
        for (const auto& p : params)
            if (p.name == a.name) info = &p;
        if (!info) {
            *error = "unknown parameter \"" + a.name + "\"";
            const auto close = closeNames(a.name, params);
            if (!close.empty()) {
                *error += "; did you mean ";
                for (size_t i = 0; i < close.size(); ++i) *error += (i ? ", " : "") + close[i];
                *error += "?";
            } else {
                *error += " (varnok params lists them all)";
            }
            return false;
        }
        ofxhost::ParamValue v;
        if (!valueFromText(*info, a.value, &v, error)) return false;
        const bool ok = a.keyed ? instance.setKey(a.name, a.frame, v) : instance.setValue(a.name, v);
        if (!ok) {
            *error = "the host refused the value of " + a.name;
            return false;
        }
    }
    return true;
}

}  // namespace varnok
