// Exact frame rates from what users type and ffprobe reports, and SMPTE
// timecodes at those rates: drop-frame numbering, moving by frames across
// minutes, tens of minutes and midnight, and the BCD word EXR and DPX store.
#include <gtest/gtest.h>

#include <string>

#include "media/frame_rate.h"
#include "media/timecode.h"

namespace {

using varnok::FrameRate;

TEST(FrameRate, TextBecomesTheExactFraction) {
    struct Case {
        const char* text;
        int num, den;   // 0: refused
    };
    for (const Case& c : {Case{"29.97", 30000, 1001}, Case{"23.976", 24000, 1001}, Case{"23.98", 24000, 1001},
                          Case{"59.94", 60000, 1001}, Case{"30000/1001", 30000, 1001}, Case{"48000/2002", 24000, 1001},
                          Case{"2997/100", 2997, 100}, Case{"25", 25, 1}, Case{"12.5", 25, 2},
                          Case{"ntsc", 30000, 1001}, Case{"pal", 25, 1}, Case{"0", 0, 0}, Case{"-24", 0, 0},
                          Case{"24/0", 0, 0}, Case{"2000", 0, 0}, Case{"24fps", 0, 0}, Case{"", 0, 0},
                          Case{"1.2.3", 0, 0}}) {
        FrameRate r;
        const bool ok = varnok::parseFrameRate(c.text, &r);
        EXPECT_EQ(ok, c.num != 0) << c.text;
        if (ok && c.num) {
            EXPECT_EQ(r.text(), std::to_string(c.num) + "/" + std::to_string(c.den)) << c.text;
        }
    }
    // ffprobe's r_frame_rate and avg_frame_rate: the exact rate unless the
    // average says the footage is not at it.
    struct Probe {
        const char* r;
        const char* avg;
        const char* want;
    };
    for (const Probe& p : {Probe{"30000/1001", "30000/1001", "30000/1001"},
                           Probe{"30000/1001", "2997/100", "30000/1001"},
                           Probe{"90000/1", "24/1", "24/1"}, Probe{"0/0", "25/1", "25/1"},
                           Probe{"0/0", "0/0", "24/1"}})
        EXPECT_EQ(varnok::streamFrameRate(p.r, p.avg).text(), p.want) << p.r << " " << p.avg;
}

TEST(Timecode, MovesByFramesAsDecksCount) {
    struct Case {
        const char* rate;
        const char* start;
        long long frames;
        const char* want;
    };
    for (const Case& c : {
             Case{"25", "01:00:00:00", 3, "01:00:00:03"},
             Case{"25", "23:59:59:24", 1, "00:00:00:00"},            // midnight
             Case{"24", "00:00:00:00", -1, "23:59:59:23"},
             Case{"30000/1001", "01:00:00:00", 30, "01:00:01:00"},   // non-drop at 29.97 counts 30
             Case{"30000/1001", "00:00:59;29", 1, "00:01:00;02"},    // 00 and 01 skipped
             Case{"30000/1001", "00:09:59;29", 1, "00:10:00;00"},    // but not at tens of minutes
             Case{"30000/1001", "00:00:00;00", 17982, "00:10:00;00"},
             Case{"30000/1001", "00:01:00;02", -1, "00:00:59;29"},
             Case{"60000/1001", "00:00:59;59", 1, "00:01:00;04"},
             Case{"24000/1001", "10:00:00:00", 24, "10:00:01:00"},
         }) {
        FrameRate rate;
        ASSERT_TRUE(varnok::parseFrameRate(c.rate, &rate));
        varnok::Timecode tc;
        std::string error;
        ASSERT_TRUE(varnok::parseTimecode(c.start, rate, &tc, &error)) << error;
        EXPECT_EQ(varnok::formatTimecode(varnok::shiftTimecode(tc, c.frames)), c.want) << c.start << " + " << c.frames;
    }
    // An hour of drop-frame is 107892 frames: 3600 s at 29.97 fps, to the frame.
    varnok::Timecode hour;
    std::string error;
    ASSERT_TRUE(varnok::parseTimecode("01:00:00;00", FrameRate{30000, 1001}, &hour, &error));
    EXPECT_EQ(hour.frame, 107892);
    // What is refused: drop-frame off 29.97 and 59.94, numbers drop-frame
    // skips, fields out of range, other shapes.
    for (const char* bad : {"01:00:00;00@25", "00:01:00;01@30000/1001", "24:00:00:00@25", "00:00:00:25@25",
                            "00:60:00:00@25", "1:00:00:00@25", "01:00:00:00:00@25", "01-00-00-00@25"}) {
        const std::string text(bad);
        const size_t at = text.find('@');
        FrameRate rate;
        ASSERT_TRUE(varnok::parseFrameRate(text.substr(at + 1), &rate));
        varnok::Timecode tc;
        EXPECT_FALSE(varnok::parseTimecode(text.substr(0, at), rate, &tc, &error)) << bad;
    }
}

TEST(Timecode, SmpteWordIsBinaryCodedDecimal) {
    struct Case {
        const char* rate;
        const char* text;
        uint32_t word;
    };
    for (const Case& c : {Case{"25", "01:02:03:04", 0x01020304u}, Case{"24", "23:59:59:23", 0x23595923u},
                          Case{"30000/1001", "01:00:00;02", 0x01000042u},   // drop-frame flag, bit 6
                          Case{"50", "00:00:00:49", 0x00000024u}}) {        // above 30 fps: frame pairs
        FrameRate rate;
        ASSERT_TRUE(varnok::parseFrameRate(c.rate, &rate));
        varnok::Timecode tc;
        std::string error;
        ASSERT_TRUE(varnok::parseTimecode(c.text, rate, &tc, &error)) << error;
        EXPECT_EQ(varnok::smpteTimeWord(tc), c.word) << c.text;
    }
}

}  // namespace
