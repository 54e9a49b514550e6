// Reading option values off a command line, shared by every varnok command's
// parser so that each refuses a bad value in the same words.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace varnok {

enum class OptionParse { NotMine, Taken, Error };

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

// An option a parser needs no code for, looked up by name in a table: a text
// kept as given, a text added to a list at each use, or a switch.
template <class Options>
struct PlainOption {
    const char* name;
    std::string Options::*text = nullptr;
    std::vector<std::string> Options::*list = nullptr;
    bool Options::*flag = nullptr;
};

template <class Options>
PlainOption<Options> textOption(const char* name, std::string Options::*field) {
    return {name, field, nullptr, nullptr};
}

template <class Options>
PlainOption<Options> listOption(const char* name, std::vector<std::string> Options::*field) {
    return {name, nullptr, field, nullptr};
}

template <class Options>
PlainOption<Options> switchOption(const char* name, bool Options::*field) {
    return {name, nullptr, nullptr, field};
}

// Takes `arg` when the table names it, reading a value through `value`
// (false when the command line ends there).
template <class Options, size_t N>
OptionParse takePlainOption(const std::string& arg, const PlainOption<Options> (&table)[N],
                            const std::function<bool(std::string*)>& value, Options* o) {
    for (const PlainOption<Options>& option : table) {
        if (arg != option.name) continue;
        if (option.flag) {
            o->*option.flag = true;
            return OptionParse::Taken;
        }
        std::string v;
        if (!value(&v)) return OptionParse::Error;
        if (option.text)
            o->*option.text = std::move(v);
        else
            (o->*option.list).push_back(std::move(v));
        return OptionParse::Taken;
    }
    return OptionParse::NotMine;
}

}  // namespace varnok
