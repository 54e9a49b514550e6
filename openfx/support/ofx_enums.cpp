#include "openfx/support/ofx_enums.h"

#include "ofxImageEffect.h"

namespace OFX {

const char* contextName(ContextEnum context) {
    switch (context) {
        case eContextGenerator: return kOfxImageEffectContextGenerator;
        case eContextFilter: return kOfxImageEffectContextFilter;
        case eContextTransition: return kOfxImageEffectContextTransition;
        case eContextPaint: return kOfxImageEffectContextPaint;
        case eContextGeneral: return kOfxImageEffectContextGeneral;
        case eContextRetimer: return kOfxImageEffectContextRetimer;
        case eContextNone: break;
    }
    return "";
}

ContextEnum contextFromName(const std::string& name) {
    if (name == kOfxImageEffectContextGenerator) return eContextGenerator;
    if (name == kOfxImageEffectContextFilter) return eContextFilter;
    if (name == kOfxImageEffectContextTransition) return eContextTransition;
    if (name == kOfxImageEffectContextPaint) return eContextPaint;
    if (name == kOfxImageEffectContextGeneral) return eContextGeneral;
    if (name == kOfxImageEffectContextRetimer) return eContextRetimer;
    return eContextNone;
}

const char* bitDepthName(BitDepthEnum depth) {
    switch (depth) {
        case eBitDepthUByte: return kOfxBitDepthByte;
        case eBitDepthUShort: return kOfxBitDepthShort;
        case eBitDepthHalf: return kOfxBitDepthHalf;
        case eBitDepthFloat: return kOfxBitDepthFloat;
        case eBitDepthNone:
        case eBitDepthCustom: break;
    }
    return kOfxBitDepthNone;
}

BitDepthEnum bitDepthFromName(const std::string& name) {
    if (name.empty() || name == kOfxBitDepthNone) return eBitDepthNone;
    if (name == kOfxBitDepthByte) return eBitDepthUByte;
    if (name == kOfxBitDepthShort) return eBitDepthUShort;
    if (name == kOfxBitDepthHalf) return eBitDepthHalf;
    if (name == kOfxBitDepthFloat) return eBitDepthFloat;
    return eBitDepthCustom;
}

const char* componentsName(PixelComponentEnum components) {
    switch (components) {
        case ePixelComponentRGBA: return kOfxImageComponentRGBA;
        case ePixelComponentRGB: return kOfxImageComponentRGB;
        case ePixelComponentAlpha: return kOfxImageComponentAlpha;
        case ePixelComponentNone:
        case ePixelComponentCustom: break;
    }
    return kOfxImageComponentNone;
}

PixelComponentEnum componentsFromName(const std::string& name) {
    if (name.empty() || name == kOfxImageComponentNone) return ePixelComponentNone;
    if (name == kOfxImageComponentRGBA) return ePixelComponentRGBA;
    if (name == kOfxImageComponentRGB) return ePixelComponentRGB;
    if (name == kOfxImageComponentAlpha) return ePixelComponentAlpha;
    return ePixelComponentCustom;
}

const char* stringTypeName(StringTypeEnum type) {
    switch (type) {
        case eStringTypeSingleLine: return kOfxParamStringIsSingleLine;
        case eStringTypeMultiLine: return kOfxParamStringIsMultiLine;
        case eStringTypeFilePath: return kOfxParamStringIsFilePath;
        case eStringTypeDirectoryPath: return kOfxParamStringIsDirectoryPath;
        case eStringTypeLabel: return kOfxParamStringIsLabel;
        case eStringTypeRichTextFormat: return kOfxParamStringIsRichTextFormat;
    }
    return kOfxParamStringIsSingleLine;
}

FieldEnum fieldFromName(const std::string& name) {
    if (name == kOfxImageFieldBoth) return eFieldBoth;
    if (name == kOfxImageFieldLower) return eFieldLower;
    if (name == kOfxImageFieldUpper) return eFieldUpper;
    return eFieldNone;
}

InstanceChangeReason changeReasonFromName(const std::string& name) {
    if (name == kOfxChangePluginEdited) return eChangePluginEdit;
    if (name == kOfxChangeTime) return eChangeTime;
    return eChangeUserEdit;
}

int bytesPerPixel(BitDepthEnum depth, PixelComponentEnum components) {
    int perComponent = 0;
    switch (depth) {
        case eBitDepthUByte: perComponent = 1; break;
        case eBitDepthUShort:
        case eBitDepthHalf: perComponent = 2; break;
        case eBitDepthFloat: perComponent = 4; break;
        case eBitDepthNone:
        case eBitDepthCustom: return 0;
    }
    switch (components) {
        case ePixelComponentRGBA: return 4 * perComponent;
        case ePixelComponentRGB: return 3 * perComponent;
        case ePixelComponentAlpha: return perComponent;
        case ePixelComponentNone:
        case ePixelComponentCustom: break;
    }
    return 0;
}

}  // namespace OFX
