#pragma once
// Helpers for the script tests: parse a text with COruParser and print the blocks.
#include <memory>
#include <string>

#include "CORE/CIni.h"
#include "SCRIPT/COruParser.h"

namespace script_test {

// One line per block: "kind@line name" then " attr=value" per attribute; a "|" separates blocks.
inline std::string Dump(const kestrin::COruParser::BlockList& blocks) {
    std::string out;
    for (const auto& ref : blocks) {
        const kestrin::CScriptBlock b = ref.ToBlock();
        if (!out.empty()) out += " | ";
        out += std::to_string(b.GetKind()) + "@" + std::to_string(b.GetLine()) + " " + b.GetName();
        for (const auto& a : b.GetAttributes()) out += " " + a.first + "=" + a.second;
    }
    return out;
}

inline std::shared_ptr<kestrin::CIni> MakeIni(const std::string& text) {
    auto ini = std::make_shared<kestrin::CIni>();
    ini->Parse(text.c_str());
    return ini;
}

// Parses text with the given tag definitions (none by default) and encoding.
inline std::string ParseToDump(const std::string& text, std::shared_ptr<kestrin::CIni> ini = nullptr,
                               int encoding = 0) {
    kestrin::COruParser parser(std::move(ini));
    parser.SetEncoding(encoding);
    parser.Parse(text.c_str());
    return Dump(parser.GetBlocks());
}

}  // namespace script_test
