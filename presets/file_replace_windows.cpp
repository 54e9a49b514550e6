// Windows build of replaceFileContent: the same promise as the POSIX one, with
// the wide-character file API so UTF-8 paths with accents reach the right file.
#include "presets/file_replace.h"

#include <windows.h>

#include <filesystem>
#include <string>

namespace ormel {
namespace {

// The file a path finally names, links followed, so a save through a symbolic
// link replaces its target and the link stays. A path naming nothing yet is
// taken as it is.
std::wstring finalPath(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return path;
    std::wstring out(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, &out[0], static_cast<DWORD>(out.size()), FILE_NAME_NORMALIZED);
    if (n >= out.size()) {
        out.resize(n + 1);
        n = GetFinalPathNameByHandleW(h, &out[0], static_cast<DWORD>(out.size()), FILE_NAME_NORMALIZED);
    }
    CloseHandle(h);
    if (n == 0 || n >= out.size()) return path;
    out.resize(n);
    return out;
}

bool writeAll(HANDLE h, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const std::size_t left = content.size() - done;
        const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(h, content.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

// A fresh short name in the target's folder per process and attempt; CREATE_NEW
// keeps two writers of the same target from sharing one temporary file.
HANDLE createTemporary(const std::filesystem::path& target, std::wstring& tempPath) {
    const std::filesystem::path folder = target.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring name = L".varnok-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(attempt) + L".tmp";
        tempPath = (folder / name).wstring();
        HANDLE h = CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

bool replaceFileContent(const std::string& linkedPath, const std::string& content) {
    if (linkedPath.empty()) return false;
    const std::filesystem::path path(finalPath(std::filesystem::u8path(linkedPath).wstring()));
    std::wstring tempPath;
    HANDLE h = createTemporary(path, tempPath);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = writeAll(h, content);
    ok = ok && FlushFileBuffers(h) != 0;
    ok = (CloseHandle(h) != 0) && ok;
    // One step from the old content to the new: readers see either, never a mix.
    ok = ok && MoveFileExW(tempPath.c_str(), path.wstring().c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) DeleteFileW(tempPath.c_str());
    return ok;
}

}  // namespace ormel
