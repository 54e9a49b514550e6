// The standard's context, depth and component strings as enumerations.
#pragma once

#include <string>

namespace OFX {

enum ContextEnum {
    eContextNone,
    eContextGenerator,
    eContextFilter,
    eContextTransition,
    eContextPaint,
    eContextGeneral,
    eContextRetimer,
};

enum BitDepthEnum { eBitDepthNone, eBitDepthUByte, eBitDepthUShort, eBitDepthHalf, eBitDepthFloat, eBitDepthCustom };

enum PixelComponentEnum {
    ePixelComponentNone,
    ePixelComponentRGBA,
    ePixelComponentRGB,
    ePixelComponentAlpha,
    ePixelComponentCustom,
};

enum StringTypeEnum {
    eStringTypeSingleLine,
    eStringTypeMultiLine,
    eStringTypeFilePath,
    eStringTypeDirectoryPath,
    eStringTypeLabel,
    eStringTypeRichTextFormat,
};

enum FieldEnum { eFieldNone, eFieldBoth, eFieldLower, eFieldUpper };

enum InstanceChangeReason { eChangeUserEdit, eChangePluginEdit, eChangeTime };

const char* contextName(ContextEnum context);
ContextEnum contextFromName(const std::string& name);  // eContextNone when unknown
const char* bitDepthName(BitDepthEnum depth);
BitDepthEnum bitDepthFromName(const std::string& name);  // eBitDepthCustom when unknown, eBitDepthNone for ""
const char* componentsName(PixelComponentEnum components);
PixelComponentEnum componentsFromName(const std::string& name);  // likewise
const char* stringTypeName(StringTypeEnum type);
FieldEnum fieldFromName(const std::string& name);  // eFieldNone when unknown
InstanceChangeReason changeReasonFromName(const std::string& name);  // user edit when unknown

// Bytes of one pixel, 0 for none or custom layouts.
int bytesPerPixel(BitDepthEnum depth, PixelComponentEnum components);

}  // namespace OFX
