// Reading option values off a command line, shared by every varnok command's
// parser so that each refuses a bad value in the same words.
#pragma once

#include <string>

namespace varnok {

// The value after the option argv[*i], stepping *i onto it; false, with a
// message naming the option, when the command line ends first.
bool optionValue(int argc, char** argv, int* i, std::string* out, std::string* error);

// `text` as a whole number from lo to hi (strtol's syntax); false otherwise.
bool parseWholeNumber(const std::string& text, long lo, long hi, long* out);

// The value of a whole-number option, or false with "OPTION expects EXPECTS,
// got "TEXT"" so every option words its refusal the same way.
template <class Int>
bool wholeNumberOption(const std::string& option, const std::string& text, long lo, long hi, const char* expects,
                       Int* out, std::string* error) {
    long n = 0;
    if (!parseWholeNumber(text, lo, hi, &n)) {
        *error = option + " expects " + expects + ", got \"" + text + "\"";
        return false;
    }
    *out = static_cast<Int>(n);
    return true;
}

}  // namespace varnok
