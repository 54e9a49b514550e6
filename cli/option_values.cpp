#include "cli/option_values.h"

#include <cerrno>
#include <cstdlib>

namespace varnok {

bool parseWholeNumber(const std::string& text, long lo, long hi, long* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || v < lo || v > hi) return false;
    *out = v;
    return true;
}

bool optionValue(int argc, char** argv, int* i, std::string* out, std::string* error) {
    if (*i + 1 >= argc) {
        *error = std::string(argv[*i]) + " needs a value";
        return false;
    }
    *out = argv[++*i];
    return true;
}

}  // namespace varnok
