// Var functions on text, arrays and numbers: "array", "random", "length", "find", "substr",
// "implode", "explode". Text is measured and cut in bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "SCRIPT/tags/TagMessages.h"
#include "SCRIPT/tags/VarFunctions.h"

namespace kestrin {

namespace {

// Joined text beyond this is cut (whole elements), and arrays longer than this are read
// only this far: a wrong ".size" must not exhaust memory or hang the frame.
constexpr size_t kMaxImplodeBytes = 16u << 20;
constexpr int32_t kMaxImplodeElements = 1 << 20;

bool IsShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace

void VarArray(CMainScript& script, const CScriptBlock& block) {
    script.GetVariables().SetInt(block.GetAttribute("name") + ".size", 0);
}

void VarRandom(CMainScript& script, const CScriptBlock& block) {
    const int64_t min = TagInt(block, "min");
    const int64_t max = TagInt(block, "max");
    const int64_t r = script.RandomValue();
    int64_t value = r;
    if (min != 0 || max != 0) {
        // In 64 bits the range cannot overflow; only max = min - 1 leaves it empty.
        const int64_t range = max - min + 1;
        value = range == 0 ? min : r % range + min;
    }
    script.GetVariables().SetInt(block.GetAttribute("name"), static_cast<int32_t>(static_cast<uint32_t>(value)));
}

void VarLength(CMainScript& script, const CScriptBlock& block) {
    script.GetVariables().SetInt(block.GetAttribute("name"), static_cast<int32_t>(block.GetAttribute("source").size()));
}

void VarFind(CMainScript& script, const CScriptBlock& block) {
    const size_t at = block.GetAttribute("source").find(block.GetAttribute("string"));
    script.GetVariables().SetInt(block.GetAttribute("name"), at == std::string::npos ? -1 : static_cast<int32_t>(at));
}

void VarSubstr(CMainScript& script, const CScriptBlock& block) {
    const std::string& source = block.GetAttribute("source");
    const int64_t position = TagInt(block, "position");
    const int64_t length = TagInt(block, "length");
    if (position < 0 || length < 0) {
        script.TraceAt(1, block, tagmsg::kSubstringNegative);
        return;
    }
    if (position + length > static_cast<int64_t>(source.size())) {
        script.TraceAt(1, block, tagmsg::kSubstringPastEnd);
        return;
    }
    script.GetVariables().SetString(block.GetAttribute("name"),
                                    source.substr(static_cast<size_t>(position), static_cast<size_t>(length)));
}

void VarImplode(CMainScript& script, const CScriptBlock& block) {
    if (!block.HasAttribute("source")) return;
    COruVariables& variables = script.GetVariables();
    const std::string stem = block.GetAttribute("source") + ".";
    const std::string delimiter = block.HasAttribute("delimiter") ? block.GetAttribute("delimiter") : ",";
    int32_t count = variables.GetInt(stem + "size");
    if (count > kMaxImplodeElements) {
        script.TraceAt(1, block, tagmsg::kImplodeTooManyElements, static_cast<int>(kMaxImplodeElements));
        count = kMaxImplodeElements;
    }
    std::string joined;
    std::string element = stem;
    for (int32_t i = 0; i < count; ++i) {
        element.resize(stem.size());
        element += std::to_string(i);
        const std::string value = variables.GetString(element);
        const size_t added = (i ? delimiter.size() : 0) + value.size();
        if (joined.size() + added > kMaxImplodeBytes) {
            script.TraceAt(1, block, tagmsg::kImplodeTooLong, static_cast<int>(i));
            break;
        }
        if (i) joined += delimiter;
        joined += value;
    }
    variables.SetString(block.GetAttribute("name"), joined);
}

void ExplodeText(const std::string& text, const std::string& delimiter, const std::string& escapes,
                 std::vector<std::string>& out) {
    out.emplace_back();
    if (delimiter.empty()) {
        out.back() = text;
        return;
    }
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        if (escapes.find(static_cast<char>(b)) != std::string::npos) {
            if (i + 1 == n) {
                out.back() += text[i];  // nothing to escape: the escape stays
                break;
            }
            if (text[i + 1] == '\n') {
                ++i;  // dropped; the line feed is read as any byte
                continue;
            }
            out.back() += text[i + 1];
            i += 2;
            continue;
        }
        if (n - i >= delimiter.size() && text.compare(i, delimiter.size(), delimiter) == 0) {
            out.emplace_back();
            i += delimiter.size();
            continue;
        }
        out.back() += text[i];
        if (IsShiftJisLead(b) && i + 1 < n) {
            out.back() += text[i + 1];
            ++i;
        }
        ++i;
    }
}

void VarExplode(CMainScript& script, const CScriptBlock& block) {
    if (!block.HasAttribute("source")) return;
    const std::string delimiter = block.HasAttribute("delimiter") ? block.GetAttribute("delimiter") : ",";
    const std::string escapes = block.HasAttribute("escape") ? block.GetAttribute("escape") : "\\";
    if (delimiter.empty()) {
        script.TraceAt(1, block, tagmsg::kExplodeEmptyDelimiter);
    }
    std::vector<std::string> pieces;
    ExplodeText(block.GetAttribute("source"), delimiter, escapes, pieces);
    COruVariables& variables = script.GetVariables();
    const std::string& name = block.GetAttribute("name");
    variables.SetInt(name + ".size", static_cast<int32_t>(pieces.size()));
    for (size_t i = 0; i < pieces.size(); ++i) variables.SetString(name + "." + std::to_string(i), pieces[i]);
}

}  // namespace kestrin
