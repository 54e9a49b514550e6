// Typed access to one host property set through the property suite. Failed
// calls throw Exception::Suite with the host's status, except the try* getters
// and setters told not to throw (for properties an older host may not know).
#pragma once

#include <string>

#include "ofxCore.h"

namespace OFX {

class PropertySet {
public:
    explicit PropertySet(OfxPropertySetHandle handle = nullptr) : handle_(handle) {}

    OfxPropertySetHandle handle() const { return handle_; }
    bool valid() const { return handle_ != nullptr; }

    void propSetInt(const char* name, int value, int index = 0, bool throwOnFailure = true);
    void propSetDouble(const char* name, double value, int index = 0, bool throwOnFailure = true);
    void propSetString(const char* name, const std::string& value, int index = 0,
                       bool throwOnFailure = true);
    void propSetPointer(const char* name, void* value, int index = 0, bool throwOnFailure = true);
    // An int property holding 1 or 0.
    void propSetBool(const char* name, bool value, int index = 0, bool throwOnFailure = true);
    // Sets the value one past the property's current last.
    void propAppendString(const char* name, const std::string& value);

    int propGetInt(const char* name, int index = 0) const;
    double propGetDouble(const char* name, int index = 0) const;
    std::string propGetString(const char* name, int index = 0) const;
    void* propGetPointer(const char* name, int index = 0) const;
    int propGetDimension(const char* name) const;

    // False, leaving `out` alone, when the property is missing or unreadable.
    bool tryGetInt(const char* name, int index, int& out) const;
    bool tryGetDouble(const char* name, int index, double& out) const;
    bool tryGetString(const char* name, int index, std::string& out) const;
    bool tryGetPointer(const char* name, int index, void*& out) const;

private:
    OfxPropertySetHandle handle_;
};

// Something described to the host under a label: the effect, a parameter.
class LabelledDescriptor {
public:
    explicit LabelledDescriptor(OfxPropertySetHandle props = nullptr) : props_(props) {}

    PropertySet& getPropertySet() { return props_; }

    void setLabel(const std::string& label);
    // A host may not know the short and long labels.
    void setLabels(const std::string& label, const std::string& shortLabel,
                   const std::string& longLabel);

protected:
    ~LabelledDescriptor() = default;

    PropertySet props_;
};

}  // namespace OFX
