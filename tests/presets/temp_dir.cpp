#include "tests/presets/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace ormel {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "varnok-presets-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeWholeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

ScopedHome::ScopedHome(const std::string& home) {
    if (const char* old = std::getenv("HOME")) {
        had_ = true;
        old_ = old;
    }
    ::setenv("HOME", home.c_str(), 1);
}

ScopedHome::~ScopedHome() {
    if (had_) ::setenv("HOME", old_.c_str(), 1);
    else ::unsetenv("HOME");
}

}  // namespace ormel
