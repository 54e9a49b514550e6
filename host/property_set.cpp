#include "host/property_set.h"

#include <cstdio>
#include <mutex>
#include <unordered_map>

#include "openfx/include/ofxProperty.h"

namespace ofxhost {

int Property::dimension() const {
    switch (type) {
        case PropType::Int: return static_cast<int>(ints.size());
        case PropType::Double: return static_cast<int>(doubles.size());
        case PropType::String: return static_cast<int>(strings.size());
        case PropType::Pointer: return static_cast<int>(pointers.size());
    }
    return 0;
}

void* Property::pointer(int index) const {
    if (deferred && index == 0) {
        DeferredPointer& d = *deferred;
        std::call_once(d.once, [&d] { d.value = d.make ? d.make() : nullptr; });
        return d.value;
    }
    return pointers[index];
}

void Property::resize(int n) {
    switch (type) {
        case PropType::Int: ints.resize(n, 0); break;
        case PropType::Double: doubles.resize(n, 0.0); break;
        case PropType::String: strings.resize(n); break;
        case PropType::Pointer: pointers.resize(n, nullptr); break;
    }
}

namespace {

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}
std::unordered_map<const void*, HandleKind>& registry() {
    static std::unordered_map<const void*, HandleKind> r;
    return r;
}

}  // namespace

void registerHandle(const void* p, HandleKind kind) {
    std::lock_guard<std::mutex> lock(registryMutex());
    registry()[p] = kind;
}

void unregisterHandle(const void* p) {
    std::lock_guard<std::mutex> lock(registryMutex());
    registry().erase(p);
}

bool isHandle(const void* p, HandleKind kind) {
    if (!p) return false;
    std::lock_guard<std::mutex> lock(registryMutex());
    auto it = registry().find(p);
    return it != registry().end() && it->second == kind;
}

PropertySet::PropertySet() { registerHandle(this, HandleKind::PropertySet); }
PropertySet::~PropertySet() { unregisterHandle(this); }
PropertySet::PropertySet(const PropertySet& other)
    : acceptsUnknown(other.acceptsUnknown), props_(other.props_) {
    registerHandle(this, HandleKind::PropertySet);
}

void PropertySet::setInts(const std::string& name, std::vector<int> v, bool ro, int fixedDim) {
    Property& p = props_[name];
    p = Property{};
    p.type = PropType::Int;
    p.ints = std::move(v);
    p.readOnly = ro;
    p.fixedDimension = fixedDim;
}
void PropertySet::setDoubles(const std::string& name, std::vector<double> v, bool ro, int fixedDim) {
    Property& p = props_[name];
    p = Property{};
    p.type = PropType::Double;
    p.doubles = std::move(v);
    p.readOnly = ro;
    p.fixedDimension = fixedDim;
}
void PropertySet::setStrings(const std::string& name, std::vector<std::string> v, bool ro,
                             int fixedDim) {
    Property& p = props_[name];
    p = Property{};
    p.type = PropType::String;
    p.strings = std::move(v);
    p.readOnly = ro;
    p.fixedDimension = fixedDim;
}
void PropertySet::setPointers(const std::string& name, std::vector<void*> v, bool ro, int fixedDim) {
    Property& p = props_[name];
    p = Property{};
    p.type = PropType::Pointer;
    p.pointers = std::move(v);
    p.readOnly = ro;
    p.fixedDimension = fixedDim;
}

void PropertySet::setDeferredPointer(const std::string& name, std::function<void*()> make) {
    setPointers(name, {nullptr}, true, 1);
    Property& p = props_[name];
    p.deferred = std::make_shared<DeferredPointer>();
    p.deferred->make = std::move(make);
}

Property* PropertySet::find(const std::string& name) {
    auto it = props_.find(name);
    return it == props_.end() ? nullptr : &it->second;
}
const Property* PropertySet::find(const std::string& name) const {
    auto it = props_.find(name);
    return it == props_.end() ? nullptr : &it->second;
}

int PropertySet::getInt(const std::string& name, int index, int fallback) const {
    const Property* p = find(name);
    if (!p || p->type != PropType::Int || index < 0 || index >= p->dimension()) return fallback;
    return p->ints[index];
}
double PropertySet::getDouble(const std::string& name, int index, double fallback) const {
    const Property* p = find(name);
    if (!p || index < 0 || index >= p->dimension()) return fallback;
    if (p->type == PropType::Double) return p->doubles[index];
    if (p->type == PropType::Int) return p->ints[index];
    return fallback;
}
std::string PropertySet::getString(const std::string& name, int index,
                                   const std::string& fallback) const {
    const Property* p = find(name);
    if (!p || p->type != PropType::String || index < 0 || index >= p->dimension()) return fallback;
    return p->strings[index];
}
void* PropertySet::getPointer(const std::string& name, int index) const {
    const Property* p = find(name);
    if (!p || p->type != PropType::Pointer || index < 0 || index >= p->dimension()) return nullptr;
    return p->pointer(index);
}
std::vector<double> PropertySet::getDoubles(const std::string& name) const {
    const Property* p = find(name);
    if (!p) return {};
    if (p->type == PropType::Double) return p->doubles;
    if (p->type == PropType::Int) return std::vector<double>(p->ints.begin(), p->ints.end());
    return {};
}
std::vector<std::string> PropertySet::getStrings(const std::string& name) const {
    const Property* p = find(name);
    if (!p || p->type != PropType::String) return {};
    return p->strings;
}

PropertyMap PropertySet::dump() const {
    PropertyMap out;
    for (const auto& [name, p] : props_) {
        PropertyDump d;
        char buf[64];
        switch (p.type) {
            case PropType::Int:
                d.type = "int";
                for (int v : p.ints) d.values.push_back(std::to_string(v));
                break;
            case PropType::Double:
                d.type = "double";
                for (double v : p.doubles) {
                    std::snprintf(buf, sizeof buf, "%.17g", v);
                    d.values.push_back(buf);
                }
                break;
            case PropType::String:
                d.type = "string";
                d.values = p.strings;
                break;
            case PropType::Pointer:
                d.type = "pointer";
                for (void* v : p.pointers) {
                    std::snprintf(buf, sizeof buf, "%p", v);
                    d.values.push_back(buf);
                }
                break;
        }
        out[name] = std::move(d);
    }
    return out;
}

namespace {

PropertySet* asSet(OfxPropertySetHandle h) {
    return isHandle(h, HandleKind::PropertySet) ? reinterpret_cast<PropertySet*>(h) : nullptr;
}

// Finds the property for a plug-in write, creating it on descriptors.
OfxStatus writable(OfxPropertySetHandle h, const char* name, PropType type, Property** out) {
    PropertySet* set = asSet(h);
    if (!set) return kOfxStatErrBadHandle;
    if (!name) return kOfxStatErrUnknown;
    Property* p = set->find(name);
    if (!p) {
        if (!set->acceptsUnknown) return kOfxStatErrUnknown;
        Property fresh;
        fresh.type = type;
        p = &set->all()[name];
        *p = fresh;
    }
    if (p->type != type) return kOfxStatErrUnknown;
    if (p->readOnly) return kOfxStatErrValue;
    *out = p;
    return kOfxStatOK;
}

OfxStatus readable(OfxPropertySetHandle h, const char* name, PropType type, const Property** out) {
    PropertySet* set = asSet(h);
    if (!set) return kOfxStatErrBadHandle;
    if (!name) return kOfxStatErrUnknown;
    const Property* p = set->find(name);
    if (!p || p->type != type) return kOfxStatErrUnknown;
    *out = p;
    return kOfxStatOK;
}

// Index for a single-value write: fixed properties keep their size,
// variable ones grow (plug-ins fill lists one index at a time).
OfxStatus slotFor(Property* p, int index) {
    if (index < 0) return kOfxStatErrBadIndex;
    if (p->fixedDimension > 0) {
        if (index >= p->fixedDimension) return kOfxStatErrBadIndex;
        if (p->dimension() < p->fixedDimension) p->resize(p->fixedDimension);
        return kOfxStatOK;
    }
    // Far-off indices are a plug-in bug, not a request for a huge list.
    if (index > p->dimension() + 1024) return kOfxStatErrBadIndex;
    if (index >= p->dimension()) p->resize(index + 1);
    return kOfxStatOK;
}

OfxStatus countFor(Property* p, int count) {
    if (count < 0) return kOfxStatErrBadIndex;
    if (p->fixedDimension > 0 && count > p->fixedDimension) return kOfxStatErrBadIndex;
    if (count > 1 << 20) return kOfxStatErrBadIndex;
    if (p->fixedDimension > 0) {
        if (p->dimension() < p->fixedDimension) p->resize(p->fixedDimension);
    } else {
        p->resize(count);
    }
    return kOfxStatOK;
}

// The four value types differ only in where a property keeps them and how a
// value crosses the C interface; the checks around every access are shared.
template <PropType Type, class T, std::vector<T> Property::*Values>
struct StoredValues {
    static constexpr PropType type = Type;
    using In = T;
    using Out = T;
    static bool accepts(T) { return true; }
    static void store(Property& p, int i, T v) { (p.*Values)[i] = v; }
    static T load(const Property& p, int i) { return (p.*Values)[i]; }
};
using DoubleValues = StoredValues<PropType::Double, double, &Property::doubles>;
using IntValues = StoredValues<PropType::Int, int, &Property::ints>;
struct PointerValues : StoredValues<PropType::Pointer, void*, &Property::pointers> {
    // A deferred pointer is made on its first read.
    static void* load(const Property& p, int i) { return p.pointer(i); }
};
struct StringValues {
    static constexpr PropType type = PropType::String;
    using In = const char*;
    using Out = char*;
    static bool accepts(const char* v) { return v != nullptr; }
    static void store(Property& p, int i, const char* v) { p.strings[i] = v; }
    // The text stays valid until the property is next written.
    static char* load(const Property& p, int i) { return const_cast<char*>(p.strings[i].c_str()); }
};

template <class V>
OfxStatus setOne(OfxPropertySetHandle h, const char* n, int i, typename V::In v) {
    Property* p = nullptr;
    OfxStatus st = writable(h, n, V::type, &p);
    if (st != kOfxStatOK) return st;
    if (!V::accepts(v)) return kOfxStatErrValue;
    if ((st = slotFor(p, i)) != kOfxStatOK) return st;
    V::store(*p, i, v);
    return kOfxStatOK;
}

template <class V>
OfxStatus setMany(OfxPropertySetHandle h, const char* n, int c, const typename V::In* v) {
    Property* p = nullptr;
    OfxStatus st = writable(h, n, V::type, &p);
    if (st != kOfxStatOK) return st;
    if (!v && c > 0) return kOfxStatErrValue;
    for (int i = 0; i < c; ++i)
        if (!V::accepts(v[i])) return kOfxStatErrValue;
    if ((st = countFor(p, c)) != kOfxStatOK) return st;
    for (int i = 0; i < c; ++i) V::store(*p, i, v[i]);
    return kOfxStatOK;
}

template <class V>
OfxStatus getOne(OfxPropertySetHandle h, const char* n, int i, typename V::Out* v) {
    const Property* p = nullptr;
    OfxStatus st = readable(h, n, V::type, &p);
    if (st != kOfxStatOK) return st;
    if (!v) return kOfxStatErrValue;
    if (i < 0 || i >= p->dimension()) return kOfxStatErrBadIndex;
    *v = V::load(*p, i);
    return kOfxStatOK;
}

template <class V>
OfxStatus getMany(OfxPropertySetHandle h, const char* n, int c, typename V::Out* v) {
    const Property* p = nullptr;
    OfxStatus st = readable(h, n, V::type, &p);
    if (st != kOfxStatOK) return st;
    if (c < 0 || c > p->dimension()) return kOfxStatErrBadIndex;
    if (!v && c > 0) return kOfxStatErrValue;
    for (int i = 0; i < c; ++i) v[i] = V::load(*p, i);
    return kOfxStatOK;
}

OfxStatus reset(OfxPropertySetHandle h, const char* n) {
    Property* p = nullptr;
    PropertySet* set = asSet(h);
    if (!set) return kOfxStatErrBadHandle;
    if (!n || !(p = set->find(n))) return kOfxStatErrUnknown;
    if (p->readOnly) return kOfxStatErrValue;
    // No per-property defaults are kept: reset empties lists and zeroes fixed ones.
    int keep = p->fixedDimension;
    p->resize(0);
    p->resize(keep);
    return kOfxStatOK;
}

OfxStatus dimension(OfxPropertySetHandle h, const char* n, int* count) {
    PropertySet* set = asSet(h);
    if (!set) return kOfxStatErrBadHandle;
    const Property* p = n ? set->find(n) : nullptr;
    if (!p) return kOfxStatErrUnknown;
    if (!count) return kOfxStatErrValue;
    *count = p->dimension();
    return kOfxStatOK;
}

const OfxPropertySuiteV1 kSuite = {
    setOne<PointerValues>,  setOne<StringValues>,  setOne<DoubleValues>,  setOne<IntValues>,
    setMany<PointerValues>, setMany<StringValues>, setMany<DoubleValues>, setMany<IntValues>,
    getOne<PointerValues>,  getOne<StringValues>,  getOne<DoubleValues>,  getOne<IntValues>,
    getMany<PointerValues>, getMany<StringValues>, getMany<DoubleValues>, getMany<IntValues>,
    reset, dimension,
};

}  // namespace

const void* propertySuite() { return &kSuite; }

}  // namespace ofxhost
