#include "host/shared_library.h"

#if defined(_WIN32)
#include <windows.h>

#include <filesystem>
#else
#include <dlfcn.h>
#endif

namespace ofxhost {

#if defined(_WIN32)

const char* const kBundleArchitecture = "Win64";

namespace {

std::string lastErrorText() {
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = n > 0 && text != nullptr ? std::wstring(text, n) : std::wstring();
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    if (message.empty()) return "error " + std::to_string(code);
    return std::filesystem::path(message).u8string() + " (error " + std::to_string(code) + ")";
}

}  // namespace

void* openSharedLibrary(const std::string& path, std::string* error) {
    // The wide call: the narrow one reads the path in the code page, and bundle
    // folders named with accents would not load.
    const std::wstring wide = std::filesystem::u8path(path).wstring();
    // No error boxes from the system when a dependency is missing: the host reports.
    DWORD oldMode = 0;
    const bool quiet = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode) != 0;
    HMODULE module = LoadLibraryW(wide.c_str());
    if (module == nullptr && error != nullptr) *error = lastErrorText();
    if (quiet) SetThreadErrorMode(oldMode, nullptr);
    return reinterpret_cast<void*>(module);
}

void* findSharedSymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeSharedLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

#else

const char* const kBundleArchitecture = "Linux-x86-64";

void* openSharedLibrary(const std::string& path, std::string* error) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr && error != nullptr) {
        const char* e = ::dlerror();
        *error = e != nullptr ? e : "unknown error";
    }
    return handle;
}

void* findSharedSymbol(void* library, const char* name) { return ::dlsym(library, name); }

void closeSharedLibrary(void* library) { ::dlclose(library); }

#endif

}  // namespace ofxhost
