#include "openfx/support/ofx_enums.h"

#include <cstddef>

#include "ofxImageEffect.h"

namespace OFX {

namespace {

// Each enumeration's standard names, one table serving both directions.
template <typename E>
struct Named {
    E value;
    const char* name;
};

template <typename E, std::size_t N>
const char* nameOf(const Named<E> (&table)[N], E value, const char* unknown) {
    for (const Named<E>& entry : table)
        if (entry.value == value) return entry.name;
    return unknown;
}

template <typename E, std::size_t N>
E valueOf(const Named<E> (&table)[N], const std::string& name, E unknown) {
    for (const Named<E>& entry : table)
        if (name == entry.name) return entry.value;
    return unknown;
}

const Named<ContextEnum> kContexts[] = {
    {eContextGenerator, kOfxImageEffectContextGenerator},
    {eContextFilter, kOfxImageEffectContextFilter},
    {eContextTransition, kOfxImageEffectContextTransition},
    {eContextPaint, kOfxImageEffectContextPaint},
    {eContextGeneral, kOfxImageEffectContextGeneral},
    {eContextRetimer, kOfxImageEffectContextRetimer},
};

const Named<BitDepthEnum> kBitDepths[] = {
    {eBitDepthNone, kOfxBitDepthNone}, {eBitDepthUByte, kOfxBitDepthByte},
    {eBitDepthUShort, kOfxBitDepthShort}, {eBitDepthHalf, kOfxBitDepthHalf},
    {eBitDepthFloat, kOfxBitDepthFloat},
};

const Named<PixelComponentEnum> kComponents[] = {
    {ePixelComponentNone, kOfxImageComponentNone},
    {ePixelComponentRGBA, kOfxImageComponentRGBA},
    {ePixelComponentRGB, kOfxImageComponentRGB},
    {ePixelComponentAlpha, kOfxImageComponentAlpha},
};

const Named<StringTypeEnum> kStringTypes[] = {
    {eStringTypeSingleLine, kOfxParamStringIsSingleLine},
    {eStringTypeMultiLine, kOfxParamStringIsMultiLine},
    {eStringTypeFilePath, kOfxParamStringIsFilePath},
    {eStringTypeDirectoryPath, kOfxParamStringIsDirectoryPath},
    {eStringTypeLabel, kOfxParamStringIsLabel},
    {eStringTypeRichTextFormat, kOfxParamStringIsRichTextFormat},
};

const Named<FieldEnum> kFields[] = {
    {eFieldBoth, kOfxImageFieldBoth},
    {eFieldLower, kOfxImageFieldLower},
    {eFieldUpper, kOfxImageFieldUpper},
};

const Named<InstanceChangeReason> kChangeReasons[] = {
    {eChangePluginEdit, kOfxChangePluginEdited},
    {eChangeTime, kOfxChangeTime},
};

}  // namespace

const char* contextName(ContextEnum context) { return nameOf(kContexts, context, ""); }

ContextEnum contextFromName(const std::string& name) {
    return valueOf(kContexts, name, eContextNone);
}

const char* bitDepthName(BitDepthEnum depth) {
    return nameOf(kBitDepths, depth, kOfxBitDepthNone);
}

BitDepthEnum bitDepthFromName(const std::string& name) {
    if (name.empty()) return eBitDepthNone;
    return valueOf(kBitDepths, name, eBitDepthCustom);
}

const char* componentsName(PixelComponentEnum components) {
    return nameOf(kComponents, components, kOfxImageComponentNone);
}

PixelComponentEnum componentsFromName(const std::string& name) {
    if (name.empty()) return ePixelComponentNone;
    return valueOf(kComponents, name, ePixelComponentCustom);
}

const char* stringTypeName(StringTypeEnum type) {
    return nameOf(kStringTypes, type, kOfxParamStringIsSingleLine);
}

FieldEnum fieldFromName(const std::string& name) { return valueOf(kFields, name, eFieldNone); }

InstanceChangeReason changeReasonFromName(const std::string& name) {
    return valueOf(kChangeReasons, name, eChangeUserEdit);
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
