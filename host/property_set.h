// The objects behind OfxPropertySetHandle and the checks every suite call
// makes on the handles a plug-in passes in.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/ofx_host.h"

namespace ofxhost {

enum class PropType { Int, Double, String, Pointer };

// A pointer worked out on its first read, once, whichever thread reads it:
// the host hands out an image before its pixels exist.
struct DeferredPointer {
    std::once_flag once;
    std::function<void*()> make;
    void* value = nullptr;
};

struct Property {
    PropType type = PropType::Int;
    std::vector<int> ints;
    std::vector<double> doubles;
    std::vector<std::string> strings;
    std::vector<void*> pointers;
    std::shared_ptr<DeferredPointer> deferred;   // a single pointer made on first read
    bool readOnly = false;   // the plug-in may not set it
    int fixedDimension = 0;  // 0: any count; otherwise exactly this many values

    int dimension() const;
    void* pointer(int index) const;   // pointers[index], a deferred one made first
    void resize(int n);
};

class PropertySet {
public:
    PropertySet();
    ~PropertySet();
    PropertySet(const PropertySet& other);
    PropertySet& operator=(const PropertySet& other) = delete;

    // Descriptors take properties the host does not know, so newer plug-ins
    // can describe themselves; instances and the host reject them.
    bool acceptsUnknown = false;

    void setInts(const std::string& name, std::vector<int> v, bool readOnly = false, int fixedDim = 0);
    void setDoubles(const std::string& name, std::vector<double> v, bool readOnly = false,
                    int fixedDim = 0);
    void setStrings(const std::string& name, std::vector<std::string> v, bool readOnly = false,
                    int fixedDim = 0);
    void setPointers(const std::string& name, std::vector<void*> v, bool readOnly = false,
                     int fixedDim = 0);
    // A read-only pointer property whose value `make` gives on its first read.
    void setDeferredPointer(const std::string& name, std::function<void*()> make);

    Property* find(const std::string& name);
    const Property* find(const std::string& name) const;
    // Host-side reads with a fallback when absent or of another type.
    int getInt(const std::string& name, int index = 0, int fallback = 0) const;
    double getDouble(const std::string& name, int index = 0, double fallback = 0.0) const;
    std::string getString(const std::string& name, int index = 0, const std::string& fallback = "") const;
    void* getPointer(const std::string& name, int index = 0) const;
    std::vector<double> getDoubles(const std::string& name) const;   // ints widened too
    std::vector<std::string> getStrings(const std::string& name) const;

    PropertyMap dump() const;
    const std::map<std::string, Property>& all() const { return props_; }
    std::map<std::string, Property>& all() { return props_; }

private:
    std::map<std::string, Property> props_;
};

// Live handles, so a stale or foreign pointer from a plug-in is refused
// instead of dereferenced.
enum class HandleKind { PropertySet, ParamSet, Param, Clip, Effect, ImageMemory, Mutex, Memory };
void registerHandle(const void* p, HandleKind kind);
void unregisterHandle(const void* p);
bool isHandle(const void* p, HandleKind kind);

// The property suite the host hands out (an OfxPropertySuiteV1).
const void* propertySuite();

}  // namespace ofxhost
