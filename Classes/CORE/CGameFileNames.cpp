#include "CORE/CGameFileNames.h"

#include "CORE/CDynamicVariables.h"
#include "CORE/StringHelpers.h"
#include "babel/babel.h"

namespace kestrin {

namespace {

// Calls visit(position, isCharacterByte) for every byte: false for the trail bytes of a
// Shift_JIS double-byte character, which are never separators or letters. UTF-8 needs
// no such care: its multibyte characters are made of bytes of 0x80 and above only.
template <class Visit>
void ForEachByte(const std::string& name, int encoding, Visit visit) {
    for (size_t i = 0; i < name.size(); ++i) {
        visit(i, true);
        if (encoding == kEncodingShiftJis && IsLeadByte(static_cast<unsigned char>(name[i]), nullptr, encoding) &&
            i + 1 < name.size()) {
            visit(++i, false);
        }
    }
}

std::string Replace(const std::string& name, char from, char to, int encoding) {
    std::string out = name;
    ForEachByte(name, encoding, [&](size_t i, bool character) {
        if (character && out[i] == from) out[i] = to;
    });
    return out;
}

}  // namespace

int CGameFileNames::Encoding() {
    const std::string charset = CDynamicVariables::GetInstance()->GetString("ini.Charset");
    return ToLowerString(charset) == "utf-8" ? kEncodingUtf8 : kEncodingShiftJis;
}

std::string CGameFileNames::ToNative(const std::string& name, int encoding) {
    return Replace(name, '\\', '/', encoding);
}

std::string CGameFileNames::ToGame(const std::string& name, int encoding) { return Replace(name, '/', '\\', encoding); }

std::vector<std::string> CGameFileNames::Split(const std::string& name, char separator, int encoding) {
    std::vector<std::string> parts(1);
    size_t start = 0;
    ForEachByte(name, encoding, [&](size_t i, bool character) {
        if (!character || name[i] != separator) return;
        parts.back().assign(name, start, i - start);
        parts.emplace_back();
        start = i + 1;
    });
    parts.back().assign(name, start, std::string::npos);
    return parts;
}

std::string CGameFileNames::Fold(const std::string& name, int encoding) {
    std::string out = name;
    ForEachByte(name, encoding, [&](size_t i, bool character) {
        if (character && out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] - 'A' + 'a');
    });
    return out;
}

std::string CGameFileNames::Key(const std::string& name, int encoding) {
    return Fold(ToGame(name, encoding), encoding);
}

std::string CGameFileNames::ToUtf8(const std::string& name, int encoding) {
    return encoding == kEncodingUtf8 ? name : babel::sjis_to_utf8(name);
}

std::string CGameFileNames::ToNative(const std::string& name) { return ToNative(name, Encoding()); }
std::string CGameFileNames::ToGame(const std::string& name) { return ToGame(name, Encoding()); }
std::vector<std::string> CGameFileNames::Split(const std::string& name, char separator) {
    return Split(name, separator, Encoding());
}
std::string CGameFileNames::Fold(const std::string& name) { return Fold(name, Encoding()); }
std::string CGameFileNames::Key(const std::string& name) { return Key(name, Encoding()); }
std::string CGameFileNames::ToUtf8(const std::string& name) { return ToUtf8(name, Encoding()); }

}  // namespace kestrin
