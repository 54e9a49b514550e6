// The colour of a video: the matrix and range its YUV samples use, and the
// primaries and transfer it is tagged with, by ffmpeg's names. Decoding and
// encoding both use them, and outputs are tagged with what was used, so an
// unchanged picture comes back with the colours it went in with.
#pragma once

#include <string>
#include <vector>

namespace varnok {

enum class YuvMatrixKind { Bt601, Bt709, Bt2020 };

struct ColourTags {
    YuvMatrixKind matrix = YuvMatrixKind::Bt601;
    bool fullRange = false;
    std::string primaries = "smpte170m";   // ffmpeg's names
    std::string transfer = "smpte170m";
    std::string space = "smpte170m";       // the matrix's tag
};

// From ffprobe's color_space, color_range, color_primaries and
// color_transfer. Untagged footage counts as BT.709 from 720 lines up and
// BT.601 below, as players assume; untagged range is video range.
ColourTags colourFromStream(const std::string& space, const std::string& range, const std::string& primaries,
                            const std::string& transfer, int height);
// For RGB footage (image sequences) going into a video: by its height.
ColourTags colourForHeight(int height);

// The scale filter options that turn the footage's YUV into RGB with its own
// matrix and range ("" for ffmpeg's -vf when none apply).
std::string decodeScaleOptions(const ColourTags& c);
// The scale filter options that turn RGB into YUV with this matrix and range.
std::string encodeScaleOptions(const ColourTags& c);
// A setparams filter that tags the frames; `rgb`: the encoder stores RGB,
// so the matrix tag is gbr.
std::string tagFilter(const ColourTags& c, bool rgb);
// The same tags as encoder options, for the container's fields (the
// encoders call gbr "rgb").
std::vector<std::string> tagOptions(const ColourTags& c, bool rgb);

}  // namespace varnok
