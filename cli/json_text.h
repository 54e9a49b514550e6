// JSON text of strings, for the listings' --json forms.
#pragma once

#include <string>
#include <vector>

namespace varnok {

// The string quoted, with JSON's escapes.
std::string jsonString(const std::string& s);
// ["a", "b"]
std::string jsonStrings(const std::vector<std::string>& v);

}  // namespace varnok
