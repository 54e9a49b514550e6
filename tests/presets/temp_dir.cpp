#include "tests/presets/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#include <process.h>
#endif

namespace ormel {

#if defined(_WIN32)
// No mkdtemp: the process number and a counter make the name, and
// create_directory refuses one that exists already.
TempDir::TempDir() {
    static int counter = 0;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::filesystem::path candidate =
            base / ("varnok-presets-" + std::to_string(_getpid()) + "-" + std::to_string(counter++));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}
#else
TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "varnok-presets-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = buffer.data();
}
#endif

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

// Paths are UTF-8, as the preset code takes them.
std::string readWholeFile(const std::string& path) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeWholeFile(const std::string& path, const std::string& content) {
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
    out << content;
}

ScopedHome::ScopedHome(const std::string& home) {
#if defined(_WIN32)
    if (const wchar_t* old = _wgetenv(L"HOME")) {
        had_ = true;
        old_ = std::filesystem::path(old).u8string();
    }
#else
    if (const char* old = std::getenv("HOME")) {
        had_ = true;
        old_ = old;
    }
#endif
    setVariable("HOME", home);
}

ScopedHome::~ScopedHome() {
    if (had_) setVariable("HOME", old_);
    else unsetVariable("HOME");
}

#if defined(_WIN32)
// The wide environment is the one the plug-in reads; _wputenv_s keeps the
// narrow copy in step. An empty value removes the variable on Windows.
void setVariable(const std::string& name, const std::string& value) {
    _wputenv_s(std::filesystem::u8path(name).wstring().c_str(), std::filesystem::u8path(value).wstring().c_str());
}
void unsetVariable(const std::string& name) { setVariable(name, ""); }
#else
void setVariable(const std::string& name, const std::string& value) { ::setenv(name.c_str(), value.c_str(), 1); }
void unsetVariable(const std::string& name) { ::unsetenv(name.c_str()); }
#endif

}  // namespace ormel
