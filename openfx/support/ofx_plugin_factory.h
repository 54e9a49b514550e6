// Plug-in factories and the glue that turns them into the two exported
// OpenFX entry points. The plug-in implements OFX::Plugin::getPluginIDs and
// appends one factory per effect; everything else is provided here.
#pragma once

#include <string>
#include <vector>

#include "ofxCore.h"
#include "ofxImageEffect.h"
#include "openfx/support/ofx_enums.h"

namespace OFX {

class ImageEffect;
class ImageEffectDescriptor;

class PluginFactory {
public:
    virtual ~PluginFactory() = default;
    virtual void load() {}
    virtual void unload() {}
    virtual void describe(ImageEffectDescriptor& desc) = 0;
    virtual void describeInContext(ImageEffectDescriptor& desc, ContextEnum context) = 0;
    virtual ImageEffect* createInstance(OfxImageEffectHandle handle, ContextEnum context) = 0;

    virtual const std::string& getID() const = 0;
    virtual const std::string& getUID() const = 0;
    virtual unsigned int getMajorVersion() const = 0;
    virtual unsigned int getMinorVersion() const = 0;
    virtual OfxPluginEntryPoint* getMainEntry() = 0;
};

using PluginFactoryArray = std::vector<PluginFactory*>;

namespace Plugin {
// Implemented by the plug-in: append the address of each factory it offers.
void getPluginIDs(PluginFactoryArray& ids);
}  // namespace Plugin

namespace Private {
// Runs one action on behalf of `factory`: suite fetching, descriptors,
// instances, argument records, and every exception turned into a status.
OfxStatus mainEntry(PluginFactory* factory, const char* action, const void* handle,
                    OfxPropertySetHandle inArgs, OfxPropertySetHandle outArgs);
}  // namespace Private

// One main entry function per factory type, bound to the factory object that
// registered itself for that type.
template <class FACTORY>
class FactoryMainEntryHelper {
protected:
    static PluginFactory*& registeredFactory() {
        static PluginFactory* factory = nullptr;
        return factory;
    }

    static OfxStatus mainEntry(const char* action, const void* handle, OfxPropertySetHandle inArgs,
                               OfxPropertySetHandle outArgs) {
        return Private::mainEntry(registeredFactory(), action, handle, inArgs, outArgs);
    }
};

template <class FACTORY>
class PluginFactoryHelper : public FactoryMainEntryHelper<FACTORY>, public PluginFactory {
public:
    PluginFactoryHelper(const std::string& id, unsigned int majorVersion, unsigned int minorVersion)
        : id_(id),
          uid_(id + "_" + std::to_string(majorVersion) + "_" + std::to_string(minorVersion)),
          major_(majorVersion),
          minor_(minorVersion) {
        FactoryMainEntryHelper<FACTORY>::registeredFactory() = this;
    }
    ~PluginFactoryHelper() override {
        if (FactoryMainEntryHelper<FACTORY>::registeredFactory() == this)
            FactoryMainEntryHelper<FACTORY>::registeredFactory() = nullptr;
    }

    const std::string& getID() const override { return id_; }
    const std::string& getUID() const override { return uid_; }
    unsigned int getMajorVersion() const override { return major_; }
    unsigned int getMinorVersion() const override { return minor_; }
    OfxPluginEntryPoint* getMainEntry() override {
        return &FactoryMainEntryHelper<FACTORY>::mainEntry;
    }

private:
    std::string id_;
    std::string uid_;
    unsigned int major_;
    unsigned int minor_;
};

}  // namespace OFX
