#include "media/subprocess.h"

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace {

std::string childSees(const char* variable) {
    int status = -1;
    const std::string out =
        varnok::captureOutput({"sh", "-c", std::string("printf '%s' \"$") + variable + "\""}, &status);
    EXPECT_EQ(status, 0);
    return out;
}

// Children get the whole environment (ffmpeg needs PATH, HOME, fonts...),
// plus the allocator setting for frame-sized packets unless the user chose one.
TEST(Subprocesses, ChildrenInheritTheEnvironmentAndAUsersAllocatorSettingStands) {
    ASSERT_EQ(::setenv("VARNOK_SUBPROCESS_PROBE", "kept through the spawn", 1), 0);
    ::unsetenv("GLIBC_TUNABLES");
    EXPECT_EQ(childSees("VARNOK_SUBPROCESS_PROBE"), "kept through the spawn");
    EXPECT_NE(childSees("GLIBC_TUNABLES").find("glibc.malloc.mmap_threshold="), std::string::npos);

    ASSERT_EQ(::setenv("GLIBC_TUNABLES", "glibc.malloc.check=0", 1), 0);
    EXPECT_EQ(childSees("GLIBC_TUNABLES"), "glibc.malloc.check=0");
    ::unsetenv("GLIBC_TUNABLES");
    ::unsetenv("VARNOK_SUBPROCESS_PROBE");
}

// The encoder is spawned with transparent huge pages off; the setting goes to
// the child only, and to no child that did not ask for it.
TEST(Subprocesses, HugePagesAreSwitchedOffForTheChildThatAsksOnly) {
    auto thpLine = [](bool off) {
        varnok::Subprocess child;
        std::string error;
        EXPECT_TRUE(child.start({"grep", "^THP_enabled", "/proc/self/status"}, varnok::Subprocess::Pipe::FromChild,
                                &error, off))
            << error;
        std::string out;
        char c;
        while (child.readExactly(&c, 1)) out += c;
        EXPECT_EQ(child.wait(), 0);
        return out;
    };
    const std::string own = thpLine(false);
    if (own.find('1') == std::string::npos) GTEST_SKIP() << "huge pages are off here already: " << own;
    EXPECT_NE(thpLine(true).find('0'), std::string::npos);
    EXPECT_EQ(thpLine(false), own);
}

}  // namespace
