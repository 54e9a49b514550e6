// The user's home folder, under which the preset folder lives.
#pragma once

#include <string>

namespace ormel {

// HOME when it is set and not empty; on Windows, where HOME is seldom set,
// USERPROFILE next; otherwise a fixed absolute folder. UTF-8 on every system.
std::string userHomeFolder();

}  // namespace ormel
