// Every constant the project's OpenFX headers declare, against the table of
// the standard's own constants (header, name, kind, value): a host or plug-in
// built on a misspelt name talks past every other one.
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "openfx/include/ofxCore.h"
#include "openfx/include/ofxImageEffect.h"
#include "openfx/include/ofxMessage.h"
#include "openfx/include/ofxParam.h"

namespace {

using KindValue = std::pair<std::string, std::string>;

std::map<std::string, std::set<KindValue>> readTable() {
    std::ifstream in(OFX_ABI_TABLE);
    std::map<std::string, std::set<KindValue>> table;
    std::string line;
    std::getline(in, line);  // header, name, kind, value
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string header, name, kind, value;
        std::getline(fields, header, '\t');
        std::getline(fields, name, '\t');
        std::getline(fields, kind, '\t');
        std::getline(fields, value);
        table[name].insert({kind, value});
    }
    return table;
}

// A macro's text as the table writes it: a string's contents, or a number in
// decimal with the casts and brackets gone.
KindValue kindAndValue(std::string text) {
    if (!text.empty() && text.front() == '"') return {"string", text.substr(1, text.rfind('"') - 1)};
    for (const char* comment : {"/*", "//"}) text = text.substr(0, text.find(comment));
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    if (text == "INT_MAX") return {"number", std::to_string(INT_MAX)};
    if (text == "INT_MIN") return {"number", std::to_string(INT_MIN)};
    for (const char* noise : {"(", ")", "int"})
        for (size_t at; (at = text.find(noise)) != std::string::npos;) text.erase(at, std::strlen(noise));
    return {"number", text};
}

// "#define NAME TEXT" with any spacing, for names starting with kOfx.
bool parseDefine(const std::string& line, std::string* name, std::string* text) {
    std::istringstream words(line);
    std::string hash;
    if (!(words >> hash)) return false;
    if (hash == "#") {
        std::string directive;
        if (!(words >> directive) || directive != "define") return false;
    } else if (hash != "#define") {
        return false;
    }
    if (!(words >> *name) || name->compare(0, 4, "kOfx") != 0) return false;
    std::getline(words >> std::ws, *text);
    while (!text->empty() && std::isspace(static_cast<unsigned char>(text->back()))) text->pop_back();
    return !text->empty();
}

// Declared by the project's headers but not carried by the table: the
// standard's documentation names them, or they are the prefixes it prescribes
// for per-clip properties (the clip name follows).
const std::set<std::string> kOutsideTable = {
    "kOfxFlagInfiniteMax",         "kOfxFlagInfiniteMin",           "kOfxImageClipPropFrameRange_",
    "kOfxImageClipPropRoI_",       "kOfxImageClipPropComponents_",  "kOfxImageClipPropDepth_",
    "kOfxImageClipPropPAR_",       "kOfxParamPropLayoutHint",       "kOfxParamPropChoiceLabelOption",
    "kOfxParamKeyIndexDirectionBefore", "kOfxParamKeyIndexDirectionExact", "kOfxParamKeyIndexDirectionAfter",
};

TEST(OpenFxAbi, EveryDeclaredConstantMatchesTheStandardsTable) {
    const auto table = readTable();
    ASSERT_GT(table.size(), 300u) << OFX_ABI_TABLE;
    size_t checked = 0;
    for (const auto& file : std::filesystem::directory_iterator(OFX_HEADER_DIR)) {
        std::ifstream in(file.path());
        std::string line;
        while (std::getline(in, line)) {
            std::string name, text;
            if (!parseDefine(line, &name, &text)) continue;
            const auto found = table.find(name);
            if (found == table.end()) {
                EXPECT_TRUE(kOutsideTable.count(name)) << name << " in " << file.path() << " is not in the table";
                continue;
            }
            EXPECT_TRUE(found->second.count(kindAndValue(text)))
                << name << " in " << file.path() << " is " << text << ", the table says "
                << found->second.begin()->second;
            ++checked;
        }
    }
    EXPECT_GT(checked, 250u);
}

// The same through the compiler, for the constants hosts and plug-ins send
// each other most, and the two that once had their own spelling.
TEST(OpenFxAbi, CompiledValuesMatchTheTable) {
    const auto table = readTable();
    const std::pair<const char*, KindValue> compiled[] = {
        {"kOfxImageEffectPropSupportsMultipleClipDepths", {"string", kOfxImageEffectPropSupportsMultipleClipDepths}},
        {"kOfxImageEffectPropProjectPixelAspectRatio", {"string", kOfxImageEffectPropProjectPixelAspectRatio}},
        {"kOfxImageEffectPropTemporalClipAccess", {"string", kOfxImageEffectPropTemporalClipAccess}},
        {"kOfxImageEffectPropRenderScale", {"string", kOfxImageEffectPropRenderScale}},
        {"kOfxImageEffectPropFrameRange", {"string", kOfxImageEffectPropFrameRange}},
        {"kOfxImagePropUniqueIdentifier", {"string", kOfxImagePropUniqueIdentifier}},
        {"kOfxStatErrMemory", {"number", std::to_string(kOfxStatErrMemory)}},
        {"kOfxStatErrValue", {"number", std::to_string(kOfxStatErrValue)}},
    };
    for (const auto& [name, kv] : compiled) {
        const auto found = table.find(name);
        ASSERT_NE(found, table.end()) << name;
        EXPECT_TRUE(found->second.count(kv)) << name << " = " << kv.second;
    }
}

}  // namespace
