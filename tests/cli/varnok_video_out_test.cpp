// What a video render hands on, as an editor would check it: the sound cut
// to the rendered frames, the exact rate, the timecode moved with the first
// frame, the colour tags and the colours themselves, the codec the
// container asks for, and the rendered alpha. Clips come from ffmpeg's own
// sources and are read back with ffprobe and ffmpeg.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/cli/cli_test_support.h"

namespace {

using cli_test::freshDir;
using cli_test::haveVarnok;
using cli_test::run;
using cli_test::RunResult;

#define REQUIRE_VARNOK() \
    if (!haveVarnok()) GTEST_SKIP() << "Varnok bundle not built at " VARNOK_BUNDLE

// A command's standard output (its errors dropped).
std::string shell(const std::string& command) {
    std::string out;
    FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!p) return out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
    return out;
}

std::string make(const std::string& command) {
    return std::system(("ffmpeg -v error -y " + command).c_str()) == 0 ? "" : "ffmpeg failed: " + command;
}

// One value per line, as ffprobe prints them for `entries` of `stream`.
std::string probe(const std::string& file, const std::string& stream, const std::string& entries) {
    std::string out = shell("ffprobe -v error -select_streams " + stream + " -show_entries " + entries +
                            " -of default=nw=1:nk=1 '" + file + "'");
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

std::vector<float> audioSamples(const std::string& file) {
    const std::string raw = shell("ffmpeg -v error -i '" + file + "' -map 0:a:0 -ac 1 -f f32le -");
    std::vector<float> s(raw.size() / 4);
    std::memcpy(s.data(), raw.data(), s.size() * 4);
    return s;
}

// Samples of one decoded frame as 16-bit RGBA, divided to 0..1; `input` may
// carry options before -i (a decoder, a filter is given as `filter`).
std::vector<float> rgbaOf(const std::string& input, const std::string& filter = "") {
    const std::string raw = shell("ffmpeg -v error " + input + " -frames:v 1 " +
                                  (filter.empty() ? "" : "-vf " + filter + " ") + "-f rawvideo -pix_fmt rgba64le -");
    std::vector<float> v(raw.size() / 2);
    for (size_t i = 0; i < v.size(); ++i) {
        uint16_t s;
        std::memcpy(&s, raw.data() + 2 * i, 2);
        v[i] = s / 65535.0f;
    }
    return v;
}

const double kNtsc = 1001.0 / 30000.0;   // seconds per frame at 29.97

// A 29.97 fps ProRes clip (15 frames, half a second of sound) with timecode 01:00:00:00, BT.709 tags and a ramp
// for sound (sample value = seconds / 4), so a sample tells its time; and a
// PNG sequence, numbered from 1, to take that sound with --audio.
TEST(VarnokVideoOut, SoundRateAndTimecodeFollowTheRenderedFrames) {
    const std::string d = freshDir("sound");
    ASSERT_EQ(make("-f lavfi -i testsrc2=size=64x48:rate=30000/1001 -f lavfi -i aevalsrc=exprs=t/4:s=48000 "
                   "-t 0.5 -c:v prores_ks -profile:v 0 -c:a pcm_s16le -timecode 01:00:00:00 "
                   "-vf setparams=color_primaries=bt709:color_trc=bt709:colorspace=bt709:range=tv " + d + "/in.mov"),
              "");
    ASSERT_EQ(make("-f lavfi -i testsrc2=size=64x48:rate=10 -frames:v 8 " + d + "/seq.%d.png"), "");
    const std::string plugin = std::string(" --plugin ") + HOST_TEST_BUNDLE + " --quiet";
    struct Case {
        const char* input;
        const char* args;
        const char* output;
        const char* audio;      // codec; "" for none
        int first, last;        // the sound's frames, at 29.97 fps in the clip
        const char* timecode;   // "" for none
        bool exact;             // PCM: the first and last samples tell their time
    };
    for (const Case& c : {
             Case{"in.mov", "--frames 0-11", "start.mov", "pcm_s16le", 0, 11, "01:00:00:00", true},
             Case{"in.mov", "--frames 3-9", "cut.mov", "pcm_s16le", 3, 9, "01:00:00:03", true},
             Case{"in.mov", "--frames 3-9", "cut.mp4", "aac", 3, 9, "01:00:00:03", false},
             Case{"in.mov", "--frames 2-11", "cut.webm", "opus", 2, 11, "01:00:00:02", false},
             // The whole of cut.mp4 (frames 3-9 of the clip): its AAC copied.
             Case{"cut.mp4", "", "copy.mp4", "aac", 3, 9, "01:00:00:03", false},
             Case{"in.mov", "--frames 0-5 --no-audio", "silent.mov", "", 0, 5, "01:00:00:00", false},
             Case{"in.mov", "--frames 5-6 --timecode '10:00:00;00'", "set.mov", "pcm_s16le", 5, 6, "10:00:00;00", true},
             // Frames 3-6 of a sequence starting at 1: the sound from 2 frames in.
             Case{"seq.%d.png", "--frames 3-6 --fps 29.97 --audio IN", "seq.mov", "pcm_s16le", 2, 5, "", true},
         }) {
        std::string args = c.args;
        const size_t in = args.find("IN");
        if (in != std::string::npos) args.replace(in, 2, d + "/in.mov");
        const std::string out = d + "/" + c.output;
        const RunResult r = run("render " + d + "/" + c.input + " -o " + out + " " + args + plugin);
        ASSERT_EQ(r.status, 0) << c.output << ": " << r.output;
        const int frames = c.last - c.first + 1;
        EXPECT_EQ(probe(out, "v:0", "stream=r_frame_rate"), "30000/1001") << c.output;
        EXPECT_EQ(probe(out, "v:0", "stream=nb_read_packets -count_packets"), std::to_string(frames)) << c.output;
        std::string tc = probe(out, "v:0", "stream_tags=timecode");
        if (tc.empty()) tc = probe(out, "v:0", "format_tags=timecode");
        EXPECT_EQ(tc, c.timecode) << c.output;
        EXPECT_EQ(probe(out, "a", "stream=codec_name"), c.audio) << c.output;
        if (!*c.audio) continue;
        const std::vector<float> s = audioSamples(out);
        // Cut to the frames, within one frame's duration.
        EXPECT_NEAR(s.size() / 48000.0, frames * kNtsc, kNtsc) << c.output;
        if (!c.exact || s.empty()) continue;
        // And from the right place, to a fraction of a frame (4 ms).
        EXPECT_NEAR(s.front(), c.first * kNtsc / 4, 0.001) << c.output;
        EXPECT_NEAR(s.back(), (c.last + 1) * kNtsc / 4, 0.001) << c.output;
    }
    // EXR and DPX frames hold their own timecode.
    for (const char* ext : {"exr", "dpx"}) {
        const std::string out = d + "/tc.%d." + ext;
        ASSERT_EQ(run("render " + d + "/in.mov -o " + out + " --frames 3-4" + plugin).status, 0) << ext;
        const std::string info = shell("oiiotool --info -v " + d + "/tc.4." + ext);
        EXPECT_NE(info.find("smpte:TimeCode: 01:00:00:04"), std::string::npos) << ext << ": " << info;
    }
    // A sequence renders at 24 fps unless told otherwise (names and
    // fractions: the frame-rate unit test).
    for (const auto& [fps, want] : std::vector<std::pair<std::string, std::string>>{
             {"", "24/1"}, {"--fps 23.976", "24000/1001"}}) {
        const std::string out = d + "/rate.mp4";
        ASSERT_EQ(run("render " + d + "/seq.%d.png -o " + out + " --frames 1-2 " + fps + plugin).status, 0) << fps;
        EXPECT_EQ(probe(out, "v:0", "stream=r_frame_rate"), want) << fps;
        EXPECT_EQ(probe(out, "a", "stream=codec_name"), "") << fps;
    }
}

// An identity render (nothing detected, nothing drawn) decodes to the
// source's colours within the codec's noise, and says which matrix it used.
// A wrong matrix costs about 0.024 here; ffmpeg decodes each file by its
// own tags, except the untagged HD source, which it would read as BT.601
// where players read BT.709.
TEST(VarnokVideoOut, IdentityRenderKeepsTheColoursAndTagsThem) {
    REQUIRE_VARNOK();
    const std::string d = freshDir("colour");
    const std::string tag709 = "setparams=color_primaries=bt709:color_trc=bt709:colorspace=bt709:range=tv";
    struct Case {
        const char* name;
        std::string make;         // ffmpeg's arguments after the source
        const char* pixelFormat;  // of the render
        const char* sourceFilter; // how players decode the source
        double noise;             // mean difference allowed
    };
    for (const Case& c : {
             Case{"h264.mp4", "-vf scale=out_color_matrix=bt709,format=yuv420p," + tag709 + " -c:v libx264 -crf 18",
                  "yuv420p", "", 0.01},
             Case{"prores.mov", "-vf scale=out_color_matrix=bt709,format=yuv422p10le," + tag709 +
                  " -c:v prores_ks -profile:v 3", "yuv422p10le", "", 0.002},
             Case{"untagged720.mp4", "-s 1280x720 -pix_fmt yuv420p -c:v libx264 -crf 18", "yuv420p",
                  "scale=in_color_matrix=bt709", 0.01},
         }) {
        const std::string in = d + "/" + c.name, out = d + "/out_" + c.name;
        ASSERT_EQ(make("-f lavfi -i smptebars=size=64x48:rate=25 -frames:v 1 " + c.make + " " + in), "");
        const RunResult r = run("render " + in + " -o " + out + " --set minBlobArea=1000000 --quiet");
        ASSERT_EQ(r.status, 0) << c.name << ": " << r.output;
        EXPECT_EQ(probe(out, "v:0", "stream=pix_fmt,color_space,color_primaries,color_transfer,color_range"),
                  std::string(c.pixelFormat) + "\ntv\nbt709\nbt709\nbt709")
            << c.name;
        const std::vector<float> want = rgbaOf("-i " + in, c.sourceFilter), got = rgbaOf("-i " + out);
        ASSERT_EQ(got.size(), want.size()) << c.name;
        ASSERT_FALSE(want.empty());
        double sum = 0;
        for (size_t i = 0; i < want.size(); ++i) sum += std::fabs(got[i] - want[i]);
        EXPECT_LT(sum / want.size(), c.noise) << c.name;
    }
}

// "Overlay seul" into the formats that keep alpha: the file's alpha is the
// rendered one (an EXR of the same render), to ffmpeg's 10-bit conversions
// for ProRes 4444 and to the byte for FFV1 from 8-bit footage. VP9's alpha
// is coded lossily. The reference's half floats add up to a quarter step.
// Colour follows each format's convention (EXR premultiplied, the video
// codecs straight): laid over the footage that way, the overlay gives the
// picture drawn straight onto it, with no dark edge.
TEST(VarnokVideoOut, AlphaOutputsCarryTheRenderedAlpha) {
    REQUIRE_VARNOK();
    const std::string d = freshDir("alpha");
    ASSERT_EQ(make("-f lavfi -i smptebars=size=64x48:rate=25 -frames:v 2 " + d + "/in.%d.png"), "");
    const std::string look = " --set \"outputMode=Overlay seul\" --set glowAmount=0 --quiet";
    ASSERT_EQ(run("render " + d + "/in.%d.png -o " + d + "/ref.%d.exr" + look).status, 0);
    const std::vector<float> ref = rgbaOf("-i " + d + "/ref.1.exr");
    ASSERT_FALSE(ref.empty());
    ASSERT_EQ(run("render " + d + "/in.%d.png -o " + d + "/drawn.%d.exr --set glowAmount=0 --quiet").status, 0);
    const std::vector<float> plate = rgbaOf("-i " + d + "/in.1.png"), drawn = rgbaOf("-i " + d + "/drawn.1.exr");
    ASSERT_EQ(plate.size(), ref.size());
    ASSERT_EQ(drawn.size(), ref.size());
    // The largest error of `layer` laid over the footage as premultiplied
    // or as straight colour, against the overlay drawn onto it.
    auto laidOver = [&](const std::vector<float>& layer, bool premultiplied) {
        float worst = 0;
        for (size_t i = 0; i < layer.size(); i += 4)
            for (size_t c = 0; c < 3; ++c) {
                const float a = layer[i + 3];
                const float v = (premultiplied ? layer[i + c] : layer[i + c] * a) + plate[i + c] * (1 - a);
                worst = std::max(worst, std::fabs(v - drawn[i + c]));
            }
        return worst;
    };
    EXPECT_LE(laidOver(ref, true), 1.0f / 256) << "EXR";
    EXPECT_GE(laidOver(ref, false), 0.1f) << "a fringe the test would see";
    float lo = 1, hi = 0;
    for (size_t i = 3; i < ref.size(); i += 4) lo = std::min(lo, ref[i]), hi = std::max(hi, ref[i]);
    ASSERT_TRUE(lo == 0.0f && hi == 1.0f) << "the overlay should have clear and solid parts";
    struct Case {
        const char* output;
        const char* codec;
        const char* decoder;
        const char* pixelFormat;   // as ffprobe names the decoded format
        float tolerance;
    };
    for (const Case& c : {Case{"a.mov", "prores4444", "", "yuva444p12le", 1.5f / 1023},
                          Case{"a.mkv", "ffv1", "", "bgra", 0.6f / 255},
                          Case{"a.webm", "vp9", "-c:v libvpx-vp9", "yuv420p", 0.05f}}) {
        const std::string out = d + "/" + c.output;
        const RunResult r = run("render " + d + "/in.%d.png -o " + out + " --codec " + c.codec + look);
        ASSERT_EQ(r.status, 0) << c.output << ": " << r.output;
        EXPECT_EQ(probe(out, "v:0", "stream=pix_fmt"), c.pixelFormat) << c.output;
        const std::vector<float> got = rgbaOf(std::string(c.decoder) + " -i " + out);
        ASSERT_EQ(got.size(), ref.size()) << c.output;
        float worst = 0;
        for (size_t i = 3; i < ref.size(); i += 4) worst = std::max(worst, std::fabs(got[i] - ref[i]));
        EXPECT_LE(worst, c.tolerance) << c.output;
        if (std::string(c.codec) != "vp9") {
            EXPECT_LE(laidOver(got, false), 0.02f) << c.output;
        }
    }
    // Where the container cannot hold what was asked, the user is told.
    struct Refusal {
        const char* args;
        const char* says;
    };
    for (const Refusal& c : {Refusal{"-o OUT/x.mp4 --codec prores4444", "a .mp4 file cannot hold prores4444"},
                             Refusal{"-o OUT/x.webm --codec h264", "a .webm file cannot hold h264"},
                             Refusal{"-o OUT/x.mp4 --quality 60", "CRF from 0 to 51"},
                             Refusal{"-o OUT/x.mov --codec prores --quality 4", "the profile 0 (proxy)"},
                             Refusal{"-o OUT/x.%d.png --audio OUT/a.mov", "image sequences carry no sound"},
                             Refusal{"-o OUT/x.mov --timecode '01:00:00;00'", "needs 29.97 or 59.94"}}) {
        std::string args = c.args;
        for (size_t at; (at = args.find("OUT")) != std::string::npos;) args.replace(at, 3, d);
        const RunResult r = run("render " + d + "/in.%d.png " + args + " --quiet");
        EXPECT_NE(r.status, 0) << c.args;
        EXPECT_NE(r.output.find(c.says), std::string::npos) << c.args << ": " << r.output;
    }
    const RunResult note = run("render " + d + "/in.%d.png -o " + d + "/x.mp4 --codec vp9");
    EXPECT_NE(note.output.find("cannot hold VP9's alpha"), std::string::npos) << note.output;
}

}  // namespace
