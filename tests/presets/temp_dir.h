// A fresh folder under the system temporary directory, removed with its content.
#pragma once

#include <filesystem>
#include <string>

namespace ormel {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // UTF-8 in and out, as the preset code takes paths.
    std::string file(const std::string& name) const { return (path_ / std::filesystem::u8path(name)).u8string(); }

private:
    std::filesystem::path path_;
};

std::string readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::string& content);

// The process environment, UTF-8 on every system.
void setVariable(const std::string& name, const std::string& value);
void unsetVariable(const std::string& name);

// Points HOME elsewhere for the life of the object.
class ScopedHome {
public:
    explicit ScopedHome(const std::string& home);
    ~ScopedHome();
    ScopedHome(const ScopedHome&) = delete;
    ScopedHome& operator=(const ScopedHome&) = delete;

private:
    bool had_ = false;
    std::string old_;
};

}  // namespace ormel
