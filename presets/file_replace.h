// Replacing a file's content without ever leaving it half-written.
#pragma once

#include <string>

namespace ormel {

// Writes `content` to a new file beside `path` (beside the file it links to, for
// a symbolic link), flushes it to disk, then renames it over that file. On any
// failure the temporary file is removed, `path` keeps its earlier content, and
// the result is false.
bool replaceFileContent(const std::string& path, const std::string& content);

}  // namespace ormel
