#include "fake_property_suite.h"

namespace fake_ofx {
namespace {

PropertyStore& store(OfxPropertySetHandle h) { return *reinterpret_cast<PropertyStore*>(h); }

template <class T>
OfxStatus setAt(std::map<std::string, std::vector<T>>& m, const char* name, int index, T v) {
    if (index < 0) return kOfxStatErrBadIndex;
    auto& values = m[name];
    if (static_cast<size_t>(index) >= values.size()) values.resize(static_cast<size_t>(index) + 1);
    values[static_cast<size_t>(index)] = v;
    return kOfxStatOK;
}

template <class T>
OfxStatus getAt(const std::map<std::string, std::vector<T>>& m, const char* name, int index, T* out) {
    auto it = m.find(name);
    if (it == m.end()) return kOfxStatErrUnknown;
    if (index < 0 || static_cast<size_t>(index) >= it->second.size()) return kOfxStatErrBadIndex;
    *out = it->second[static_cast<size_t>(index)];
    return kOfxStatOK;
}

OfxStatus setPointer(OfxPropertySetHandle h, const char* n, int i, void* v) { return setAt(store(h).pointers, n, i, v); }
OfxStatus setString(OfxPropertySetHandle h, const char* n, int i, const char* v) {
    return setAt(store(h).strings, n, i, std::string(v));
}
OfxStatus setDouble(OfxPropertySetHandle h, const char* n, int i, double v) { return setAt(store(h).doubles, n, i, v); }
OfxStatus setInt(OfxPropertySetHandle h, const char* n, int i, int v) { return setAt(store(h).ints, n, i, v); }
OfxStatus getPointer(OfxPropertySetHandle h, const char* n, int i, void** v) { return getAt(store(h).pointers, n, i, v); }
OfxStatus getString(OfxPropertySetHandle h, const char* n, int i, char** v) {
    auto& m = store(h).strings;
    auto it = m.find(n);
    if (it == m.end()) return kOfxStatErrUnknown;
    if (i < 0 || static_cast<size_t>(i) >= it->second.size()) return kOfxStatErrBadIndex;
    *v = const_cast<char*>(it->second[static_cast<size_t>(i)].c_str());
    return kOfxStatOK;
}
OfxStatus getDouble(OfxPropertySetHandle h, const char* n, int i, double* v) { return getAt(store(h).doubles, n, i, v); }
OfxStatus getInt(OfxPropertySetHandle h, const char* n, int i, int* v) { return getAt(store(h).ints, n, i, v); }
OfxStatus getDimension(OfxPropertySetHandle h, const char* n, int* count) {
    PropertyStore& s = store(h);
    *count = 0;
    if (s.ints.count(n)) *count = static_cast<int>(s.ints[n].size());
    if (s.doubles.count(n)) *count = static_cast<int>(s.doubles[n].size());
    if (s.strings.count(n)) *count = static_cast<int>(s.strings[n].size());
    if (s.pointers.count(n)) *count = static_cast<int>(s.pointers[n].size());
    return kOfxStatOK;
}

}  // namespace

const OfxPropertySuiteV1* propertySuite() {
    static OfxPropertySuiteV1 suite = [] {
        OfxPropertySuiteV1 s{};
        s.propSetPointer = setPointer;
        s.propSetString = setString;
        s.propSetDouble = setDouble;
        s.propSetInt = setInt;
        s.propGetPointer = getPointer;
        s.propGetString = getString;
        s.propGetDouble = getDouble;
        s.propGetInt = getInt;
        s.propGetDimension = getDimension;
        return s;
    }();
    return &suite;
}

}  // namespace fake_ofx
