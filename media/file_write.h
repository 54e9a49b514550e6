// Writing a whole file with every step checked: each write to the end, then
// close. Libraries that write through stdio often drop a short write (a full
// disk), so image files are encoded to memory and land on disk through here.
#pragma once

#include <cstddef>
#include <string>

namespace varnok {

// Creates or truncates `path` and writes `size` bytes. On any failure a
// regular file is removed and `*error` says "cannot write PATH: REASON".
bool writeWholeFile(const std::string& path, const void* data, size_t size, std::string* error);

}  // namespace varnok
