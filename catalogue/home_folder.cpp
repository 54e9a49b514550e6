#include "catalogue/home_folder.h"

#include <cstdlib>

#if defined(_WIN32)
#include <filesystem>
#endif

namespace ormel {
namespace {

#if defined(_WIN32)
// Writable by every user on every Windows since Vista.
constexpr const char* kFallbackHome = "C:/Users/Public";

// The wide environment, converted to UTF-8: the narrow one is in the code page
// and would mangle a profile folder such as C:\Users\Renée.
std::string variable(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    if (value == nullptr || value[0] == L'\0') return {};
    return std::filesystem::path(value).u8string();
}

std::string homeFromEnvironment() {
    std::string home = variable(L"HOME");
    return home.empty() ? variable(L"USERPROFILE") : home;
}
#else
// Used when HOME is unset or empty: any absolute folder will do.
constexpr const char* kFallbackHome = "/tmp";

std::string homeFromEnvironment() {
    const char* home = std::getenv("HOME");
    return home != nullptr ? home : "";
}
#endif

}  // namespace

std::string userHomeFolder() {
    std::string home = homeFromEnvironment();
    return home.empty() ? kFallbackHome : home;
}

}  // namespace ormel
