// Still images through OpenImageIO.
#pragma once

#include <string>

#include "media/native_frame.h"
#include "media/timecode.h"
#include "host/ofx_host.h"

namespace varnok {

bool readImageFile(const std::string& path, NativeFrame* out, std::string* error);
// Only the header: size and sample type.
bool probeImageFile(const std::string& path, int* width, int* height, SampleType* type,
                    std::string* error);

// Writes float RGBA as `type` samples with `channels` (3 drops alpha, 4 keeps it);
// values are clamped to [0, 1] for integer types (NaN to 0).
// With `timecode`, formats that have a field for it (EXR, DPX) hold it.
// `premultiplied` says what the frame's colour holds; each format gets its
// own kind (alpha_convention.h).
bool writeImageFile(const std::string& path, const ofxhost::FloatImage& image, SampleType type,
                    int channels, std::string* error, const Timecode* timecode = nullptr,
                    bool premultiplied = true);

// The sample type an output file gets from its extension and the input's type:
// PNG/TIFF 8 or 16 bit as the input suggests, JPEG 8, DPX 16, EXR half or float.
SampleType outputSampleType(const std::string& extension, SampleType input);
int outputChannels(const std::string& extension);

}  // namespace varnok
