// varnok as other kinds of host: a proxy mode, editing hosts without
// earlier frames, and a limit on the frames it takes on at all.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "cli_test_support.h"
#include "media/image_io.h"

namespace {

using cli_test::freshDir;
using cli_test::haveVarnok;
using cli_test::readFrame;
using cli_test::run;
using cli_test::RunResult;
using varnok::SampleType;

#define REQUIRE_VARNOK() \
    if (!haveVarnok()) GTEST_SKIP() << "Varnok bundle not built at " VARNOK_BUNDLE

uint32_t crc32(const std::string& bytes) {
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        c ^= b;
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

std::string be32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

std::string chunk(const std::string& type, const std::string& data) {
    return be32(static_cast<uint32_t>(data.size())) + type + data + be32(crc32(type + data));
}

// A PNG whose header says width x height and whose pixel data is a few
// bytes: anything that tried to decode it would fail on the data, or spend
// minutes and gigabytes first.
void writeHugePngHeader(const std::string& path, uint32_t width, uint32_t height) {
    const std::string ihdr = be32(width) + be32(height) + std::string("\x08\x02\x00\x00\x00", 5);
    const std::string idat("\x78\x9c\x63\x00\x00\x00\x01\x00\x01", 9);
    std::ofstream out(path, std::ios::binary);
    out << std::string("\x89PNG\r\n\x1a\n", 8) << chunk("IHDR", ihdr) << chunk("IDAT", idat) << chunk("IEND", "");
}

ofxhost::FloatImage discFrame(int w, int h, int frame) {
    ofxhost::FloatImage img(w, h);
    const float cx = 8.0f + 3.0f * frame, cy = h / 2.0f;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float* p = img.pixel(x, y);
            const bool in = std::hypot(x + 0.5f - cx, y + 0.5f - cy) < 5.0f;
            p[0] = in ? 1.0f : 0.3f, p[1] = in ? 0.05f : 0.3f, p[2] = in ? 0.05f : 0.32f, p[3] = 1.0f;
        }
    return img;
}

void writeSequence(const std::string& dir, int count, int w, int h) {
    for (int f = 1; f <= count; ++f) {
        char name[512];
        std::snprintf(name, sizeof name, "%s/in.%04d.png", dir.c_str(), f);
        std::string err;
        ASSERT_TRUE(varnok::writeImageFile(name, discFrame(w, h, f), SampleType::U8, 4, &err)) << err;
    }
}

TEST(VarnokHostOptions, FrameTooLargeIsRefusedFromItsHeader) {
    REQUIRE_VARNOK();
    const std::string d = freshDir("huge");
    const std::string shot = d + "/shot.png";
    writeHugePngHeader(shot, 40000, 40000);
    struct Case {
        std::string limit;
        std::string line;   // "" when the frame fits
    };
    const Case cases[] = {
        {"12000", shot + ": frame 40000x40000 needs 25.6 GB as float RGBA (limit 12000 MB; see --max-frame-mb)"},
        {"25599", shot + ": frame 40000x40000 needs 25.6 GB as float RGBA (limit 25599 MB; see --max-frame-mb)"},
    };
    for (const Case& c : cases) {
        const RunResult r = run("render " + shot + " -o " + d + "/out.png --max-frame-mb " + c.limit);
        EXPECT_NE(r.status, 0);
        EXPECT_EQ(r.output, "varnok: " + c.line + "\n");
    }
    // A frame within the limit is rendered.
    std::string err;
    ASSERT_TRUE(varnok::writeImageFile(d + "/small.png", discFrame(300, 200, 1), SampleType::U8, 4, &err)) << err;
    EXPECT_EQ(run("render " + d + "/small.png -o " + d + "/small_out.png --quiet --max-frame-mb 1").status, 0);
    const RunResult tight = run("render " + d + "/small.png -o " + d + "/x.png --max-frame-mb 0");
    EXPECT_EQ(tight.status, 2) << tight.output;
    const std::string bigger = d + "/bigger.png";
    ASSERT_TRUE(varnok::writeImageFile(bigger, discFrame(400, 200, 1), SampleType::U8, 4, &err)) << err;
    const RunResult over = run("render " + bigger + " -o " + d + "/x.png --max-frame-mb 1");
    EXPECT_EQ(over.output,
              "varnok: " + bigger + ": frame 400x200 needs 1.3 MB as float RGBA (limit 1 MB; see --max-frame-mb)\n");
}

// A proxy render is the proxy's size. Editing hosts without earlier frames
// (one without temporal clip access, one like MLT) render in order the very
// pictures of a host that serves them, trails included, and the effect's
// notice comes once; --stats counts the images the effect knew by their label.
TEST(VarnokHostOptions, ProxyScaleAndEditorsWithoutEarlierFrames) {
    REQUIRE_VARNOK();
    const std::string d = freshDir("hostkinds");
    writeSequence(d, 4, 64, 48);
    const std::string in = " " + d + "/in.%04d.png";
    const std::string temporal = " --set fastPreview=false --set useTemporalTracking=true --set drawTrails=on";
    RunResult r = run("render" + in + " -o " + d + "/proxy.%04d.png --quiet --render-scale 0.5" + temporal);
    ASSERT_EQ(r.status, 0) << r.output;
    const varnok::NativeFrame proxy = readFrame(d + "/proxy.0004.png");
    EXPECT_EQ(proxy.width, 32);
    EXPECT_EQ(proxy.height, 24);

    r = run("render" + in + " -o " + d + "/on.%04d.png --stats" + temporal);
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find("plug-in:"), std::string::npos) << "nothing to act on, nothing posted";
    EXPECT_NE(r.output.find("source images handed to the plug-in"), std::string::npos) << r.output;
    ASSERT_EQ(run("render" + in + " -o " + d + "/off.%04d.png --quiet --set fastPreview=false").status, 0);
    EXPECT_NE(readFrame(d + "/on.0004.png").data, readFrame(d + "/off.0004.png").data) << "trails show";

    for (const char* host : {"--no-temporal-host", "--host-like mlt"}) {
        r = run("render" + in + " -o " + d + "/editor.%04d.png --quiet " + host + temporal);
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(r.output,
                  "plug-in: Varnok: this host gives no earlier frames to effects. Trails, speeds and temporal "
                  "tracking use the regions remembered from the frames rendered before, so render the clip in "
                  "order from its first frame; a frame reached by a jump shows only what was remembered.\n")
            << host;
        for (const char* frame : {"0002", "0003", "0004"})
            EXPECT_EQ(readFrame(d + "/editor." + frame + ".png").data, readFrame(d + "/on." + frame + ".png").data)
                << host << ", frame " << frame;
    }
    for (const auto& [args, says] : {std::pair{"--host-like vegas", "--host-like expects mlt"},
                                     std::pair{"--host-like mlt --preset 2", "which --host-like mlt never reports"}}) {
        r = run("render" + in + " -o " + d + "/x.png " + args);
        EXPECT_NE(r.status, 0) << args;
        EXPECT_NE(r.output.find(says), std::string::npos) << r.output;
    }
}

}  // namespace
