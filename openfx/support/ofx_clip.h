// Clips at describe time and on an instance, and the images fetched from them.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "ofxImageEffect.h"
#include "openfx/support/ofx_enums.h"
#include "openfx/support/ofx_property_set.h"

namespace OFX {

class ClipDescriptor {
public:
    ClipDescriptor(const std::string& name, OfxPropertySetHandle props);
    const std::string& getName() const { return name_; }
    PropertySet& getPropertySet() { return props_; }

    // Appends to the supported components.
    void addSupportedComponent(PixelComponentEnum components);
    void setTemporalClipAccess(bool v);
    void setSupportsTiles(bool v);
    void setIsMask(bool v);
    void setOptional(bool v);

private:
    std::string name_;
    PropertySet props_;
};

// One image held from the host; released when destroyed.
class Image {
public:
    explicit Image(OfxPropertySetHandle props);
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    PropertySet& getPropertySet() { return props_; }
    // Read from the host on first use: a host may make the pixels only when
    // asked, so an image used for its label alone costs it nothing.
    void* getPixelData() const;
    const OfxRectI& getBounds() const { return bounds_; }
    const OfxRectI& getRegionOfDefinition() const { return rod_; }
    int getRowBytes() const { return rowBytes_; }
    BitDepthEnum getPixelDepth() const { return depth_; }
    PixelComponentEnum getPixelComponents() const { return components_; }
    // The host's label for these pixels; empty when the host gives none. The
    // host changes it whenever the pixels change.
    const std::string& getUniqueIdentifier() const { return uniqueIdentifier_; }

    // Address of pixel (x, y) in the image's own coordinates, or null when the
    // pixel lies outside the bounds, the image has no data or the layout is
    // unknown. Works with negative row strides.
    void* getPixelAddress(int x, int y) const;

private:
    mutable PropertySet props_;
    mutable std::once_flag dataOnce_;
    mutable void* data_ = nullptr;
    OfxRectI bounds_{0, 0, 0, 0};
    OfxRectI rod_{0, 0, 0, 0};
    int rowBytes_ = 0;
    BitDepthEnum depth_ = eBitDepthNone;
    PixelComponentEnum components_ = ePixelComponentNone;
    std::string uniqueIdentifier_;
};

class Clip {
public:
    Clip(const std::string& name, OfxImageClipHandle handle, OfxPropertySetHandle props);
    const std::string& name() const { return name_; }
    OfxImageClipHandle getHandle() const { return handle_; }
    PropertySet& getPropertySet() { return props_; }

    BitDepthEnum getPixelDepth() const;
    PixelComponentEnum getPixelComponents() const;
    bool isConnected() const;
    // The frames the clip has (kOfxImageEffectPropFrameRange); false when the
    // host gives no usable range.
    bool getFrameRange(OfxRangeD& range) const;

    // The image at time t, or null when the host has none there
    // (kOfxStatFailed or no handle). Other host errors throw.
    std::unique_ptr<Image> fetchImage(double t);

private:
    std::string name_;
    OfxImageClipHandle handle_;
    PropertySet props_;
};

}  // namespace OFX
