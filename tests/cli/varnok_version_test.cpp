// Which bundle varnok takes and reports, installed or built, and the usage of
// each command.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "tests/cli/cli_test_support.h"

namespace {

using cli_test::freshDir;
using cli_test::haveVarnok;

struct Output {
    int status;
    std::string text;
};

Output runIn(const std::string& command) {
    Output o{-1, ""};
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p) return o;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) o.text.append(buf, n);
    const int st = ::pclose(p);
    o.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return o;
}

std::string canonical(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : path;
}

// A copy of the program in PREFIX/bin, as a package installs it, with or
// without a copy of the bundle where the package puts it.
TEST(VarnokVersion, ReportsTheBundleItWouldLoadInOrderOfPrecedence) {
    if (!haveVarnok()) GTEST_SKIP() << "Varnok bundle not built";
    // Nested as deep as the installed bundle lies above the program's folder,
    // so everything stays inside the test's own folder.
    std::string prefix = freshDir("installed");
    for (size_t at = 0; (at = std::string(VARNOK_INSTALLED_PLUGIN).find("../", at)) != std::string::npos; at += 3)
        prefix += "/p";
    const std::string program = prefix + "/bin/varnok";
    const std::string installed = prefix + "/bin/" + VARNOK_INSTALLED_PLUGIN;
    ASSERT_EQ(std::system(("mkdir -p '" + prefix + "/bin' && cp '" + VARNOK_EXE + "' '" + program + "'").c_str()), 0);
    const std::string version = std::string("plug-in: com.tesmar.VarnokOFX ") + VARNOK_VERSION + "\n";

    struct Case {
        const char* name;
        bool install;
        std::string prefixArgs, args, bundle;
    };
    const std::string other = canonical(VARNOK_BUNDLE);
    const std::vector<Case> cases = {
        {"built tree when nothing is installed", false, "", "", VARNOK_BUNDLE},
        {"installed beside the program", true, "", "", installed},
        {"$VARNOK_PLUGIN over the installed one", true, "VARNOK_PLUGIN='" + other + "' ", "", other},
        {"--plugin over $VARNOK_PLUGIN", true, "VARNOK_PLUGIN=/nonexistent ", " --plugin '" + other + "'", other},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.install) {
            const std::string parent = installed.substr(0, installed.rfind('/'));
            ASSERT_EQ(std::system(("mkdir -p '" + parent + "' && rm -rf '" + installed + "' && cp -r '" +
                                   VARNOK_BUNDLE + "' '" + installed + "'").c_str()),
                      0);
        }
        // Every x86-64 processor has SSE2, so the lowered level is the one named.
        const Output out =
            runIn("env -u VARNOK_PLUGIN VARNOK_SIMD=sse2 " + c.prefixArgs + "'" + program + "' --version" + c.args);
        EXPECT_EQ(out.status, 0) << out.text;
        const std::string bundle = c.install && c.bundle == installed ? canonical(installed) : c.bundle;
        EXPECT_EQ(out.text, std::string("varnok ") + VARNOK_VERSION + "\n" + version + "bundle: " + bundle + "\n" +
                                "simd level: sse2\n");
    }
    // A bundle that does not load is an error, still naming the path tried.
    const Output bad = runIn("'" + program + "' --version --plugin /nonexistent/Varnok.ofx.bundle");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.text.find("/nonexistent/Varnok.ofx.bundle"), std::string::npos) << bad.text;
}

TEST(VarnokHelp, EachCommandPrintsItsOwnUsageOnly) {
    const std::vector<std::string> commands = {"render", "track", "params", "presets", "demo", "join", "slurm"};
    for (const std::string& command : commands) {
        for (const char* flag : {"--help", "-h"}) {
            SCOPED_TRACE(command + " " + flag);
            // After other arguments too, even ones that would be errors.
            const Output out = runIn(std::string(VARNOK_EXE) + " " + command + " --frames x " + flag);
            EXPECT_EQ(out.status, 0) << out.text;
            EXPECT_EQ(out.text.rfind("usage:\n  varnok " + command + " ", 0), 0u) << out.text;
            for (const std::string& otherCommand : commands) {
                if (otherCommand == command) continue;
                EXPECT_EQ(out.text.find("  varnok " + otherCommand + " "), std::string::npos) << out.text;
            }
        }
    }
    const Output unknown = runIn(std::string(VARNOK_EXE) + " frobnicate --help");
    EXPECT_EQ(unknown.status, 2) << unknown.text;
}

}  // namespace
