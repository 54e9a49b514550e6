#include "openfx/support/ofx_clip.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "openfx/support/ofx_exceptions.h"
#include "openfx/support/ofx_suites.h"

namespace OFX {

ClipDescriptor::ClipDescriptor(const std::string& name, OfxPropertySetHandle props)
    : name_(name), props_(props) {}

void ClipDescriptor::addSupportedComponent(PixelComponentEnum components) {
    props_.propAppendString(kOfxImageEffectPropSupportedComponents, componentsName(components));
}

void ClipDescriptor::setTemporalClipAccess(bool v) {
    props_.propSetBool(kOfxImageEffectPropTemporalClipAccess, v, 0, false);
}

void ClipDescriptor::setSupportsTiles(bool v) {
    props_.propSetBool(kOfxImageEffectPropSupportsTiles, v, 0, false);
}

void ClipDescriptor::setIsMask(bool v) {
    props_.propSetBool(kOfxImageClipPropIsMask, v, 0, false);
}

void ClipDescriptor::setOptional(bool v) {
    props_.propSetBool(kOfxImageClipPropOptional, v, 0, false);
}

Image::Image(OfxPropertySetHandle props) : props_(props) {
    // A host that leaves a property out gets the harmless default: no data,
    // empty bounds, so nothing reads through a bad pointer.
    props_.tryGetInt(kOfxImagePropRowBytes, 0, rowBytes_);
    int* b[4] = {&bounds_.x1, &bounds_.y1, &bounds_.x2, &bounds_.y2};
    for (int i = 0; i < 4; ++i) props_.tryGetInt(kOfxImagePropBounds, i, *b[i]);
    rod_ = bounds_;
    int* r[4] = {&rod_.x1, &rod_.y1, &rod_.x2, &rod_.y2};
    for (int i = 0; i < 4; ++i) props_.tryGetInt(kOfxImagePropRegionOfDefinition, i, *r[i]);
    std::string s;
    if (props_.tryGetString(kOfxImageEffectPropPixelDepth, 0, s)) depth_ = bitDepthFromName(s);
    s.clear();
    if (props_.tryGetString(kOfxImageEffectPropComponents, 0, s)) components_ = componentsFromName(s);
    props_.tryGetString(kOfxImagePropUniqueIdentifier, 0, uniqueIdentifier_);
}

void* Image::getPixelData() const {
    std::call_once(dataOnce_, [this] { props_.tryGetPointer(kOfxImagePropData, 0, data_); });
    return data_;
}

Image::~Image() {
    const OfxImageEffectSuiteV1* suite = suites().imageEffect;
    if (props_.handle() != nullptr && suite != nullptr && suite->clipReleaseImage != nullptr)
        suite->clipReleaseImage(props_.handle());
}

void* Image::getPixelAddress(int x, int y) const {
    const int pixelBytes = bytesPerPixel(depth_, components_);
    void* data = getPixelData();
    if (data == nullptr || pixelBytes == 0) return nullptr;
    if (x < bounds_.x1 || x >= bounds_.x2 || y < bounds_.y1 || y >= bounds_.y2) return nullptr;
    // 64-bit offsets: bounds far from the origin must not overflow int.
    const std::ptrdiff_t offset =
        static_cast<std::ptrdiff_t>(static_cast<int64_t>(y) - bounds_.y1) * rowBytes_ +
        static_cast<std::ptrdiff_t>(static_cast<int64_t>(x) - bounds_.x1) * pixelBytes;
    return static_cast<unsigned char*>(data) + offset;
}

Clip::Clip(const std::string& name, OfxImageClipHandle handle, OfxPropertySetHandle props)
    : name_(name), handle_(handle), props_(props) {}

BitDepthEnum Clip::getPixelDepth() const {
    std::string s;
    if (!props_.tryGetString(kOfxImageEffectPropPixelDepth, 0, s)) return eBitDepthNone;
    return bitDepthFromName(s);
}

PixelComponentEnum Clip::getPixelComponents() const {
    std::string s;
    if (!props_.tryGetString(kOfxImageEffectPropComponents, 0, s)) return ePixelComponentNone;
    return componentsFromName(s);
}

bool Clip::isConnected() const {
    int v = 0;
    return props_.tryGetInt(kOfxImageClipPropConnected, 0, v) && v != 0;
}

bool Clip::getFrameRange(OfxRangeD& range) const {
    double first = 0.0, last = 0.0;
    if (!props_.tryGetDouble(kOfxImageEffectPropFrameRange, 0, first) ||
        !props_.tryGetDouble(kOfxImageEffectPropFrameRange, 1, last))
        return false;
    if (!std::isfinite(first) || !std::isfinite(last) || first > last) return false;
    range = OfxRangeD{first, last};
    return true;
}

std::unique_ptr<Image> Clip::fetchImage(double t) {
    OfxPropertySetHandle image = nullptr;
    const OfxStatus status = Private::imageEffectSuite().clipGetImage(handle_, t, nullptr, &image);
    if (status == kOfxStatFailed) return nullptr;
    if (status != kOfxStatOK) throwSuiteStatusException(status);
    if (image == nullptr) return nullptr;
    return std::make_unique<Image>(image);
}

}  // namespace OFX
