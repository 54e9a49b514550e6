#include "media/colour_tags.h"

namespace varnok {

namespace {

bool known(const std::string& v) { return !v.empty() && v != "unknown" && v != "N/A" && v != "reserved"; }

const char* matrixFilterName(YuvMatrixKind m) {
    switch (m) {
        case YuvMatrixKind::Bt709: return "bt709";
        case YuvMatrixKind::Bt2020: return "bt2020";
        case YuvMatrixKind::Bt601: break;
    }
    return "bt601";
}

}  // namespace

ColourTags colourForHeight(int height) {
    ColourTags c;
    if (height >= 720) {
        c.matrix = YuvMatrixKind::Bt709;
        c.primaries = c.transfer = c.space = "bt709";
    }
    return c;
}

ColourTags colourFromStream(const std::string& space, const std::string& range, const std::string& primaries,
                            const std::string& transfer, int height) {
    ColourTags c = colourForHeight(height);
    if (space == "bt709") {
        c = colourForHeight(1080);
    } else if (space == "bt2020nc" || space == "bt2020c") {
        c.matrix = YuvMatrixKind::Bt2020;
        c.space = "bt2020nc";
        c.primaries = "bt2020";
        c.transfer = "bt2020-10";
    } else if (space == "smpte170m" || space == "bt470bg") {
        c.matrix = YuvMatrixKind::Bt601;
        c.space = space;
        c.primaries = space;
        c.transfer = space == "bt470bg" ? "bt709" : "smpte170m";   // ffmpeg's own pairing for PAL
    }
    // The footage's own primaries and transfer, when it names them, travel as they are.
    if (known(primaries)) c.primaries = primaries;
    if (known(transfer)) c.transfer = transfer;
    // RGB footage (FFV1, PNG in mov) says "pc" of its RGB; YUV outputs made
    // from it take video range, as from any untagged source.
    c.fullRange = range == "pc" && space != "gbr";
    return c;
}

std::string decodeScaleOptions(const ColourTags& c) {
    return std::string("in_color_matrix=") + matrixFilterName(c.matrix) + ":in_range=" + (c.fullRange ? "pc" : "tv");
}

std::string encodeScaleOptions(const ColourTags& c) {
    return std::string("out_color_matrix=") + matrixFilterName(c.matrix) +
           ":out_range=" + (c.fullRange ? "pc" : "tv");
}

std::string tagFilter(const ColourTags& c, bool rgb) {
    return "setparams=color_primaries=" + c.primaries + ":color_trc=" + c.transfer +
           ":colorspace=" + (rgb ? std::string("gbr") : c.space) + ":range=" + (c.fullRange || rgb ? "pc" : "tv");
}

std::vector<std::string> tagOptions(const ColourTags& c, bool rgb) {
    return {"-color_primaries", c.primaries,       "-color_trc", c.transfer,
            "-colorspace",      rgb ? "rgb" : c.space, "-color_range", c.fullRange || rgb ? "pc" : "tv"};
}

}  // namespace varnok
