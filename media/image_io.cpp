#include "media/image_io.h"

#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include <unistd.h>

#include "media/alpha_convention.h"
#include "media/file_write.h"
#include "media/media_path.h"
#include "media/unit_samples.h"
#include "host/image_buffer.h"

namespace varnok {

namespace {

using OIIO::TypeDesc;

SampleType nativeType(const TypeDesc& t) {
    switch (t.basetype) {
        case TypeDesc::UINT8: case TypeDesc::INT8: return SampleType::U8;
        case TypeDesc::UINT16: case TypeDesc::INT16: return SampleType::U16;
        case TypeDesc::HALF: return SampleType::Half;
        default: return SampleType::Float;
    }
}

TypeDesc oiioType(SampleType t) {
    switch (t) {
        case SampleType::U8: return TypeDesc::UINT8;
        case SampleType::U16: return TypeDesc::UINT16;
        case SampleType::Half: return TypeDesc::HALF;
        case SampleType::Float: return TypeDesc::FLOAT;
    }
    return TypeDesc::UINT8;
}

// Library messages can run over several lines; errors are one line.
std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// The PNG reader fills rows missing from a cut-short file with black and says
// nothing; a whole PNG ends with its 12-byte IEND chunk.
bool endsWithPngEnd(const std::string& path) {
    static const unsigned char iend[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    unsigned char tail[12] = {};
    const bool ok = std::fseek(f, -12, SEEK_END) == 0 && std::fread(tail, 1, 12, f) == 12;
    std::fclose(f);
    return ok && std::memcmp(tail, iend, 12) == 0;
}

}  // namespace

bool probeImageFile(const std::string& path, int* width, int* height, SampleType* type,
                    std::string* error) {
    auto in = OIIO::ImageInput::open(path);
    if (!in) {
        *error = "cannot read " + path + ": " + firstLine(OIIO::geterror());
        return false;
    }
    const OIIO::ImageSpec& spec = in->spec();
    *width = spec.width;
    *height = spec.height;
    *type = nativeType(spec.format);
    return true;
}

bool readImageFile(const std::string& path, NativeFrame* out, std::string* error) {
    auto in = OIIO::ImageInput::open(path);
    if (!in) {
        *error = "cannot read " + path + ": " + firstLine(OIIO::geterror());
        return false;
    }
    const OIIO::ImageSpec& spec = in->spec();
    if (spec.width <= 0 || spec.height <= 0 || spec.nchannels <= 0 || spec.width > 65536 ||
        spec.height > 65536) {
        *error = path + ": unusable image size " + std::to_string(spec.width) + "x" +
                 std::to_string(spec.height);
        return false;
    }
    // Checked before decoding: libpng reports a cut-short file on standard
    // error by itself, and the user should see one line, ours.
    if (std::strcmp(in->format_name(), "png") == 0 && !endsWithPngEnd(path)) {
        *error = "cannot decode " + path + ": the file is cut short";
        return false;
    }
    out->width = spec.width;
    out->height = spec.height;
    out->channels = std::min(spec.nchannels, 4);
    out->type = nativeType(spec.format);
    out->data.resize(static_cast<size_t>(spec.width) * spec.height * out->channels * sampleBytes(out->type));
    if (!in->read_image(0, 0, 0, out->channels, oiioType(out->type), out->data.data())) {
        *error = "cannot decode " + path + ": " + firstLine(in->geterror());
        return false;
    }
    // Some readers fill in what a damaged file lacks and only leave a message
    // (JPEG "premature end"); a picture made up in part is no picture to render.
    const std::string complaint = firstLine(in->geterror());
    if (!complaint.empty()) {
        *error = "cannot decode " + path + ": " + complaint;
        return false;
    }
    return true;
}

bool writeImageFile(const std::string& path, const ofxhost::FloatImage& given, SampleType type,
                    int channels, std::string* error, const Timecode* timecode, bool premultiplied) {
    if (given.empty()) {
        *error = "nothing to write to " + path;
        return false;
    }
    channels = channels == 3 ? 3 : 4;
    // OpenEXR's alpha is associated by definition: straight colour is
    // multiplied here. The other formats are converted by OpenImageIO.
    ofxhost::FloatImage associated;
    const bool exr = classifyPath(path).extension == "exr";
    if (!premultiplied && channels == 4 && exr) {
        associated = given;
        premultiply(associated);
    }
    const ofxhost::FloatImage& image = associated.empty() ? given : associated;
    const size_t n = static_cast<size_t>(image.width) * image.height;
    const int sb = sampleBytes(type);
    std::vector<uint8_t> data(n * channels * sb);
    // One loop per sample type; channel i of pixel p is sample p * channels + i.
    auto each = [&](auto store) {
        for (size_t i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c) store(i * channels + c, image.rgba[i * 4 + c]);
    };
    switch (type) {
        case SampleType::U8:
            each([&](size_t k, float v) { data[k] = static_cast<uint8_t>(roundUnitSample(v, 255.0f)); });
            break;
        case SampleType::U16:
            each([&](size_t k, float v) {
                const uint16_t s = static_cast<uint16_t>(roundUnitSample(v, 65535.0f));
                std::memcpy(data.data() + 2 * k, &s, 2);
            });
            break;
        case SampleType::Half:
            each([&](size_t k, float v) {
                const uint16_t h = ofxhost::floatToHalf(v);
                std::memcpy(data.data() + 2 * k, &h, 2);
            });
            break;
        case SampleType::Float:
            each([&](size_t k, float v) { std::memcpy(data.data() + 4 * k, &v, 4); });
            break;
    }
    auto out = OIIO::ImageOutput::create(path);
    if (!out) {
        *error = "cannot write " + path + ": " + OIIO::geterror();
        return false;
    }
    OIIO::ImageSpec spec(image.width, image.height, channels, oiioType(type));
    if (channels == 4) spec.alpha_channel = 3;
    // Left unset, OpenImageIO takes the colour as premultiplied and stores
    // PNG straight and TIFF marked as associated.
    if (channels == 4 && !premultiplied && !exr) spec.attribute("oiio:UnassociatedAlpha", 1);
    // zlib's default level costs twice the time for about 13% smaller frames;
    // rendering footage wants the time.
    spec.attribute("png:compressionLevel", 3);
    if (timecode && timecode->valid()) {
        // SMPTE time word and user bits; OpenImageIO puts them in EXR's
        // timeCode and DPX's time code.
        const unsigned int words[2] = {smpteTimeWord(*timecode), 0};
        spec.attribute("smpte:TimeCode", OIIO::TypeTimeCode, words);
    }
    if (!out->supports("ioproxy")) {
        // No way to see the bytes: write, then read the file back whole so a
        // short write still shows up.
        if (!out->open(path, spec) || !out->write_image(oiioType(type), data.data()) || !out->close()) {
            *error = "cannot write " + path + ": " + out->geterror();
            ::unlink(path.c_str());
            return false;
        }
        NativeFrame check;
        if (!readImageFile(path, &check, error)) {
            *error = "cannot write " + path + ": the file does not read back";
            ::unlink(path.c_str());
            return false;
        }
        return true;
    }
    // Encoded in memory, then written with every step checked: the format
    // writers go through stdio and do not all notice a full disk.
    std::vector<unsigned char> bytes;
    OIIO::Filesystem::IOVecOutput sink(bytes);
    if (!out->set_ioproxy(&sink) || !out->open(path, spec) || !out->write_image(oiioType(type), data.data()) ||
        !out->close()) {
        *error = "cannot encode " + path + ": " + out->geterror();
        return false;
    }
    return writeWholeFile(path, bytes.data(), bytes.size(), error);
}

SampleType outputSampleType(const std::string& ext, SampleType input) {
    if (ext == "exr") return input == SampleType::Float ? SampleType::Float : SampleType::Half;
    if (ext == "png" || ext == "tif" || ext == "tiff")
        return input == SampleType::U8 ? SampleType::U8 : SampleType::U16;
    if (ext == "dpx") return SampleType::U16;
    return SampleType::U8;
}

int outputChannels(const std::string& ext) {
    return ext == "jpg" || ext == "jpeg" || ext == "dpx" ? 3 : 4;
}

}  // namespace varnok
