// The parameter suite: definition on descriptors, values and keyframes on instances.
#include <cmath>
#include <cstdarg>

#include "host/host_objects.h"

namespace ofxhost {

namespace {

ParamSetObj* asSet(OfxParamSetHandle h) {
    return isHandle(h, HandleKind::ParamSet) ? reinterpret_cast<ParamSetObj*>(h) : nullptr;
}
ParamObj* asParam(OfxParamHandle h) {
    return isHandle(h, HandleKind::Param) ? reinterpret_cast<ParamObj*>(h) : nullptr;
}
// Parameters that carry values, on an instance.
ParamObj* asValued(OfxParamHandle h, OfxStatus* st) {
    ParamObj* p = asParam(h);
    if (!p) {
        *st = kOfxStatErrBadHandle;
        return nullptr;
    }
    if (!hasValue(p->kind)) {
        *st = kOfxStatErrUnsupported;
        return nullptr;
    }
    if (!p->owner || p->owner->isDescriptor) {
        *st = kOfxStatErrBadHandle;
        return nullptr;
    }
    *st = kOfxStatOK;
    return p;
}

OfxStatus paramDefine(OfxParamSetHandle h, const char* type, const char* name,
                      OfxPropertySetHandle* props) {
    ParamSetObj* set = asSet(h);
    if (!set) return kOfxStatErrBadHandle;
    if (!type || !name || !*name) return kOfxStatErrValue;
    if (!set->owner || !set->owner->isDescriptor) return kOfxStatErrUnsupported;
    if (kindFromType(type) == ParamKind::ParametricUnknown) return kOfxStatErrUnknown;
    if (set->byName.count(name)) return kOfxStatErrExists;
    auto p = std::make_unique<ParamObj>();
    initParamDescriptor(*p, type, name);
    p->owner = set->owner;
    if (props) *props = reinterpret_cast<OfxPropertySetHandle>(&p->props);
    set->byName[name] = p.get();
    set->params.push_back(std::move(p));
    return kOfxStatOK;
}

OfxStatus paramGetHandle(OfxParamSetHandle h, const char* name, OfxParamHandle* param,
                         OfxPropertySetHandle* props) {
    ParamSetObj* set = asSet(h);
    if (!set) return kOfxStatErrBadHandle;
    if (!name || !param) return kOfxStatErrValue;
    auto it = set->byName.find(name);
    return handOutFound(it != set->byName.end() ? it->second : nullptr, param, props);
}

OfxStatus paramSetGetPropertySet(OfxParamSetHandle h, OfxPropertySetHandle* props) {
    return handOut(asSet(h), props, &ParamSetObj::props);
}

OfxStatus paramGetPropertySet(OfxParamHandle h, OfxPropertySetHandle* props) {
    return handOut(asParam(h), props, &ParamObj::props);
}

// Writes a value into the plug-in's out-pointers, one per component.
OfxStatus writeOut(ParamObj* p, const std::vector<double>& numbers, const std::string& text,
                   va_list ap) {
    if (p->kind == ParamKind::String || p->kind == ParamKind::Custom) {
        const char** out = va_arg(ap, const char**);
        if (!out) return kOfxStatErrValue;
        p->scratch = text;
        *out = p->scratch.c_str();
        return kOfxStatOK;
    }
    const int n = componentCount(p->kind);
    const bool ints = isIntegerKind(p->kind);
    for (int i = 0; i < n; ++i) {
        const double v = i < static_cast<int>(numbers.size()) ? numbers[i] : 0.0;
        if (ints) {
            int* out = va_arg(ap, int*);
            if (!out) return kOfxStatErrValue;
            // Stored integer values are whole and in range; guard anyway.
            *out = std::isfinite(v) ? static_cast<int>(std::fmax(-2147483648.0, std::fmin(2147483647.0, v)))
                                    : 0;
        } else {
            double* out = va_arg(ap, double*);
            if (!out) return kOfxStatErrValue;
            *out = v;
        }
    }
    return kOfxStatOK;
}

ParamValue readIn(ParamObj* p, va_list ap) {
    ParamValue v;
    if (p->kind == ParamKind::String || p->kind == ParamKind::Custom) {
        const char* s = va_arg(ap, const char*);
        v.text = s ? s : "";
        return v;
    }
    const int n = componentCount(p->kind);
    const bool ints = isIntegerKind(p->kind);
    for (int i = 0; i < n; ++i) v.numbers.push_back(ints ? va_arg(ap, int) : va_arg(ap, double));
    if (p->kind == ParamKind::Boolean) v.numbers[0] = v.numbers[0] != 0 ? 1 : 0;
    return v;
}

// The value at `time` written through the caller's pointers; `time` absent
// means the time of the action in progress.
OfxStatus writeValueAt(OfxParamHandle h, const OfxTime* time, va_list ap) {
    OfxStatus st;
    ParamObj* p = asValued(h, &st);
    if (!p) return st;
    const double t = time ? *time : (p->owner->instance ? p->owner->instance->actionTime : 0.0);
    ParamValue v = valueAt(p->anim, p->kind, t);
    return writeOut(p, v.numbers, v.text, ap);
}

OfxStatus paramGetValue(OfxParamHandle h, ...) {
    va_list ap;
    va_start(ap, h);
    const OfxStatus st = writeValueAt(h, nullptr, ap);
    va_end(ap);
    return st;
}

OfxStatus paramGetValueAtTime(OfxParamHandle h, OfxTime time, ...) {
    va_list ap;
    va_start(ap, time);
    const OfxStatus st = writeValueAt(h, &time, ap);
    va_end(ap);
    return st;
}

// Derivatives and integrals exist only for kinds that interpolate;
// `compute` gives one number per component.
template <class Compute>
OfxStatus writeComputed(OfxParamHandle h, va_list ap, Compute compute) {
    OfxStatus st;
    ParamObj* p = asValued(h, &st);
    if (!p) return st;
    if (!interpolates(p->kind)) return kOfxStatErrUnsupported;
    return writeOut(p, compute(*p), "", ap);
}

OfxStatus paramGetDerivative(OfxParamHandle h, OfxTime time, ...) {
    va_list ap;
    va_start(ap, time);
    const OfxStatus st = writeComputed(
        h, ap, [time](const ParamObj& p) { return derivativeAt(p.anim, p.kind, time); });
    va_end(ap);
    return st;
}

OfxStatus paramGetIntegral(OfxParamHandle h, OfxTime t1, OfxTime t2, ...) {
    va_list ap;
    va_start(ap, t2);
    const OfxStatus st = writeComputed(
        h, ap, [t1, t2](const ParamObj& p) { return integralOver(p.anim, p.kind, t1, t2); });
    va_end(ap);
    return st;
}

void notePluginEdit(ParamObj* p) {
    InstanceState* s = p->owner->instance;
    if (s && s->inAction) s->pluginEdits.push_back(p->name);
}

OfxStatus paramSetValue(OfxParamHandle h, ...) {
    OfxStatus st;
    ParamObj* p = asValued(h, &st);
    if (!p) return st;
    va_list ap;
    va_start(ap, h);
    ParamValue v = readIn(p, ap);
    va_end(ap);
    // An animated parameter takes a plain write as a key at the current time.
    if (!p->anim.keys.empty()) {
        const double t = p->owner->instance ? p->owner->instance->actionTime : 0.0;
        p->anim.keys[t] = v;
    } else {
        p->anim.value = v;
    }
    notePluginEdit(p);
    return kOfxStatOK;
}

OfxStatus paramSetValueAtTime(OfxParamHandle h, OfxTime time, ...) {
    OfxStatus st;
    ParamObj* p = asValued(h, &st);
    if (!p) return st;
    if (!std::isfinite(time)) return kOfxStatErrValue;
    va_list ap;
    va_start(ap, time);
    ParamValue v = readIn(p, ap);
    va_end(ap);
    p->anim.keys[time] = v;
    notePluginEdit(p);
    return kOfxStatOK;
}

OfxStatus paramGetNumKeys(OfxParamHandle h, unsigned int* n) {
    OfxStatus st;
    ParamObj* p = asValued(h, &st);
    if (!p) return st;
    if (!n) return kOfxStatErrValue;
    *n = static_cast<unsigned>(p->anim.keys.size());
    return kOfxStatOK;
}

OfxStatus paramGetKeyTime(OfxParamHandle h, unsigned int nth, OfxTime* time) {
    OfxStatus st;
    ParamObj* p = asValued(h, &st);
    if (!p) return st;
    if (!time) return kOfxStatErrValue;
    if (nth >= p->anim.keys.size()) return kOfxStatErrBadIndex;
    *time = std::next(p->anim.keys.begin(), nth)->first;
    return kOfxStatOK;
}

OfxStatus paramGetKeyIndex(OfxParamHandle h, OfxTime time, int direction, int* index) {
    OfxStatus st;
    ParamObj* p = asValued(h, &st);
    if (!p) return st;
    if (!index) return kOfxStatErrValue;
    int i = 0;
    int found = -1;
    for (const auto& kv : p->anim.keys) {
        if (direction == 0 && kv.first == time) found = i;
        if (direction < 0 && kv.first < time) found = i;
        if (direction > 0 && kv.first > time && found < 0) found = i;
        ++i;
    }
    if (found < 0) return kOfxStatFailed;
    *index = found;
    return kOfxStatOK;
}

OfxStatus paramDeleteKey(OfxParamHandle h, OfxTime time) {
    OfxStatus st;
    ParamObj* p = asValued(h, &st);
    if (!p) return st;
    auto it = p->anim.keys.find(time);
    if (it == p->anim.keys.end()) return kOfxStatErrBadIndex;
    // The last key's value stays as the plain value.
    if (p->anim.keys.size() == 1) p->anim.value = it->second;
    p->anim.keys.erase(it);
    return kOfxStatOK;
}

OfxStatus paramDeleteAllKeys(OfxParamHandle h) {
    OfxStatus st;
    ParamObj* p = asValued(h, &st);
    if (!p) return st;
    if (!p->anim.keys.empty()) p->anim.value = valueAt(p->anim, p->kind, p->owner->instance->actionTime);
    p->anim.keys.clear();
    return kOfxStatOK;
}

OfxStatus paramCopy(OfxParamHandle to, OfxParamHandle from, OfxTime offset, const OfxRangeD* range) {
    OfxStatus st;
    ParamObj* dst = asValued(to, &st);
    if (!dst) return st;
    ParamObj* src = asValued(from, &st);
    if (!src) return st;
    if (src->type != dst->type) return kOfxStatErrValue;
    if (!std::isfinite(offset)) return kOfxStatErrValue;
    dst->anim.value = src->anim.value;
    if (!range) dst->anim.keys.clear();
    for (const auto& kv : src->anim.keys) {
        if (range && (kv.first < range->min || kv.first > range->max)) continue;
        dst->anim.keys[kv.first + offset] = kv.second;
    }
    notePluginEdit(dst);
    return kOfxStatOK;
}

OfxStatus paramEditBegin(OfxParamSetHandle h, const char*) {
    return asSet(h) ? kOfxStatOK : kOfxStatErrBadHandle;
}
OfxStatus paramEditEnd(OfxParamSetHandle h) { return asSet(h) ? kOfxStatOK : kOfxStatErrBadHandle; }

const OfxParameterSuiteV1 kSuite = {
    paramDefine, paramGetHandle, paramSetGetPropertySet, paramGetPropertySet, paramGetValue,
    paramGetValueAtTime, paramGetDerivative, paramGetIntegral, paramSetValue, paramSetValueAtTime,
    paramGetNumKeys, paramGetKeyTime, paramGetKeyIndex, paramDeleteKey, paramDeleteAllKeys,
    paramCopy, paramEditBegin, paramEditEnd,
};

}  // namespace

const void* parameterSuite() { return &kSuite; }

}  // namespace ofxhost
