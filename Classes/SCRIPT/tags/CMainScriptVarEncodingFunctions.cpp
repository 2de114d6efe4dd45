// Var functions that convert encodings, encode and hash text and read the clock:
// "convert_encoding", "to_utf8", "to_sjis", "character_reference_to_utf8", "url_encode",
// "url_decode", "base64_encode", "hmac_sha1_base64", "date", "unixtime".
#include <cstdint>
#include <string>

#include "CORE/StringHelpers.h"
#include "CORE/TimeFunctions.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/tags/TagMessages.h"
#include "SCRIPT/tags/VarFunctions.h"
#include "babel/babel.h"

namespace kestrin {

namespace {

using Converter = std::string (*)(const std::string&);

// The code names in the order they are tested; -1 for an unknown name.
int CodeIndex(const std::string& code) {
    static const char* const kCodes[] = {"sjis", "euc", "jis", "utf8"};
    for (int i = 0; i < 4; ++i) {
        if (code == kCodes[i]) return i;
    }
    return -1;
}

int HexDigit(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void SetSource(CMainScript& script, const CScriptBlock& block, Converter convert) {
    script.GetVariables().SetString(block.GetAttribute("name"), convert(block.GetAttribute("source")));
}

}  // namespace

void VarConvertEncoding(CMainScript& script, const CScriptBlock& block) {
    static const Converter kTable[4][4] = {
        {nullptr, &babel::sjis_to_euc, &babel::sjis_to_jis, &babel::sjis_to_utf8},
        {&babel::euc_to_sjis, nullptr, &babel::euc_to_jis, &babel::euc_to_utf8},
        {&babel::jis_to_sjis, &babel::jis_to_euc, nullptr, &babel::jis_to_utf8},
        {&babel::utf8_to_sjis, &babel::utf8_to_euc, &babel::utf8_to_jis, nullptr},
    };
    if (!block.HasAttribute("from") || !block.HasAttribute("to")) {
        script.TraceAt(1, block, tagmsg::kEncodingsNotGiven);
        return;
    }
    const int from = CodeIndex(block.GetAttribute("from"));
    if (from < 0) {
        script.TraceAt(1, block, tagmsg::kSourceEncodingUnknown);
        return;
    }
    const int to = CodeIndex(block.GetAttribute("to"));
    if (to < 0 || !kTable[from][to]) {
        script.TraceAt(1, block, tagmsg::kTargetEncodingUnknown);
        return;
    }
    SetSource(script, block, kTable[from][to]);
}

void VarToUtf8(CMainScript& script, const CScriptBlock& block) { SetSource(script, block, &babel::sjis_to_utf8); }

void VarToSjis(CMainScript& script, const CScriptBlock& block) { SetSource(script, block, &babel::utf8_to_sjis); }

std::string CharacterReferencesToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        if (text[i] != '&' || i + 1 >= n || text[i + 1] != '#') {
            out += text[i++];
            continue;
        }
        size_t j = i + 2;
        const bool hex = j < n && (text[j] == 'x' || text[j] == 'X');
        if (hex) ++j;
        const size_t digits = j;
        uint32_t value = 0;  // wraps: only the low 16 bits count
        for (; j < n; ++j) {
            const int d = hex ? HexDigit(static_cast<unsigned char>(text[j]))
                              : (text[j] >= '0' && text[j] <= '9' ? text[j] - '0' : -1);
            if (d < 0) break;
            value = value * (hex ? 16u : 10u) + static_cast<uint32_t>(d);
        }
        // No number, or no byte to end it: not a reference, copied as it is.
        if (j == digits || j >= n) {
            out += text[i++];
            continue;
        }
        out += babel::unicode_to_utf8(std::u16string(1, static_cast<char16_t>(value & 0xFFFFu)));
        i = j + 1;  // the byte that ends the number (normally ";") goes too
    }
    return out;
}

void VarCharacterReferenceToUtf8(CMainScript& script, const CScriptBlock& block) {
    SetSource(script, block, &CharacterReferencesToUtf8);
}

void VarUrlEncode(CMainScript& script, const CScriptBlock& block) { SetSource(script, block, &UrlEncode); }

std::string UrlDecodeWhole(const std::string& text) {
    // Only a "%" with two bytes after it is an escape; one nearer the end stays as it is.
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '%') {
            ++i;
        } else if (i + 2 < text.size()) {
            i += 3;
        } else {
            return UrlDecode(text.substr(0, i)) + text.substr(i);
        }
    }
    return UrlDecode(text);
}

void VarUrlDecode(CMainScript& script, const CScriptBlock& block) { SetSource(script, block, &UrlDecodeWhole); }

void VarBase64Encode(CMainScript& script, const CScriptBlock& block) {
    const std::string& source = block.GetAttribute("source");
    script.GetVariables().SetString(block.GetAttribute("name"),
                                    Base64Encode(source.data(), static_cast<unsigned>(source.size())));
}

void VarHmacSha1Base64(CMainScript& script, const CScriptBlock& block) {
    script.GetVariables().SetString(block.GetAttribute("name"),
                                    HmacSha1Base64(block.GetAttribute("key"), block.GetAttribute("message")));
}

void VarDate(CMainScript& script, const CScriptBlock& block) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    GetLocalDateTime(year, month, day, hour, minute, second);
    COruVariables& variables = script.GetVariables();
    const std::string& name = block.GetAttribute("name");
    variables.SetInt(name + ".year", year);
    variables.SetInt(name + ".month", month);
    variables.SetInt(name + ".day", day);
    variables.SetInt(name + ".hour", hour);
    variables.SetInt(name + ".minute", minute);
    variables.SetInt(name + ".second", second);
}

void VarUnixtime(CMainScript& script, const CScriptBlock& block) {
    script.GetVariables().SetInt(block.GetAttribute("name"), static_cast<int32_t>(GetScriptUnixTime()));
}

}  // namespace kestrin
