#include "CORE/CIni.h"

#include "CORE/StringHelpers.h"

#include <cstring>

namespace kestrin {

namespace {
bool IsBlank(unsigned char b) { return b == ' ' || b == '\t' || b == '\r' || b == '\n'; }
}  // namespace

CIni::CIni() : m_encoding(kEncodingShiftJis) {}

CIni::~CIni() = default;

void CIni::Parse(const char* text) { Parse(text, text ? std::strlen(text) : 0); }

void CIni::Parse(const char* text, size_t length) {
    m_sections.clear();
    m_unclosedSections.clear();
    std::string sectionName, key, value;
    KeyTable keys;
    int state = 0;
    bool nameRanOn = false;  // the section name being read has met a line break
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* end = p ? p + length : p;
    if (p) {
        const void* nul = std::memchr(p, 0, length);
        if (nul) end = static_cast<const unsigned char*>(nul);
        // Windows editors start UTF-8 files with a byte-order mark; it is no key text.
        if (end - p >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) p += 3;
    }

    auto storeEntry = [&]() {
        keys[Trim(key)] = Trim(value);
        key.clear();
        value.clear();
    };
    auto commitSection = [&]() { m_sections[sectionName] = keys; };

    while (p < end) {
        const unsigned char b = *p;
        int trail = 0;
        if (IsLeadByte(b, &trail, m_encoding)) {
            // A whole multibyte character; one cut short by the end of the text ends the parse.
            const size_t available = static_cast<size_t>(end - p);
            const size_t n = (static_cast<size_t>(trail) + 1 <= available) ? static_cast<size_t>(trail) + 1 : available;
            const std::string ch(reinterpret_cast<const char*>(p), n);
            // clang-format off
            switch (state) {
            case 0: key += ch; state = 2; break;
            case 1: sectionName += ch; break;
            case 2: key += ch; break;
            case 3: value += ch; break;
            default: break;
            }
            // clang-format on
            p += n;
            continue;
        }
        const char c = static_cast<char>(b);
        switch (state) {
            case 0:
                if (c == '[') {
                    commitSection();
                    sectionName.clear();
                    keys.clear();
                    nameRanOn = false;
                    state = 1;
                } else if (IsBlank(b)) {
                } else if (c == ';') {
                    state = 4;
                } else {
                    key += c;
                    state = 2;
                }
                break;
            case 1:
                if (c == ']') {
                    state = 0;
                } else if (c == '\r') {
                } else if (c == '\\') {
                    if (p + 1 >= end) {
                        p = end;
                        continue;
                    }
                    sectionName += static_cast<char>(*++p);
                } else {
                    if (c == '\n' && !nameRanOn) {
                        m_unclosedSections.push_back(sectionName);
                        nameRanOn = true;
                    }
                    sectionName += c;
                }
                break;
            case 2:
                if (c == '=') {
                    state = 3;
                } else if (c == '\r') {
                } else if (c == '\\') {
                    if (p + 1 >= end) {
                        p = end;
                        continue;
                    }
                    key += static_cast<char>(*++p);
                } else {
                    key += c;
                }
                break;
            case 3:
                if (c == '\n') {
                    storeEntry();
                    state = 0;
                } else if (c != '\r') {
                    value += c;
                }
                break;
            case 4:
                if (c == '\n') state = 0;
                break;
        }
        ++p;
    }
    if (!key.empty()) storeEntry();
    commitSection();
}

std::string CIni::Trim(const std::string& text) const {
    size_t first = std::string::npos;     // first non-blank character
    size_t trailing = std::string::npos;  // start of the blank run after the last non-blank
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        int trail = 0;
        if (IsLeadByte(b, &trail, m_encoding)) {
            if (first == std::string::npos) first = i;
            trailing = std::string::npos;
            i += 1 + static_cast<size_t>(trail);
            continue;
        }
        if (IsBlank(b)) {
            if (first != std::string::npos && trailing == std::string::npos) trailing = i;
        } else {
            if (first == std::string::npos) first = i;
            trailing = std::string::npos;
        }
        ++i;
    }
    if (first == std::string::npos) return text;
    std::string out = text;
    if (trailing != std::string::npos) out.erase(trailing);
    if (first > 0) out.erase(0, first);
    return out;
}

const std::string* CIni::Find(const char* section, const char* key) const {
    auto s = m_sections.find(section ? section : "");
    if (s == m_sections.end()) return nullptr;
    auto k = s->second.find(key ? key : "");
    if (k == s->second.end()) return nullptr;
    return &k->second;
}

std::string CIni::GetString(const char* section, const char* key) const { return GetStringDefault(section, key, ""); }

std::string CIni::GetStringDefault(const char* section, const char* key, const std::string& defaultValue) const {
    const std::string* v = Find(section, key);
    return v ? *v : defaultValue;
}

int CIni::GetIntDefault(const char* section, const char* key, int defaultValue) const {
    const std::string* v = Find(section, key);
    if (!v || v->empty()) return defaultValue;
    return ParseInt32(*v);
}

bool CIni::GetBoolDefault(const char* section, const char* key, bool defaultValue) const {
    const std::string* v = Find(section, key);
    if (!v || v->empty()) return defaultValue;
    return ParseInt32(*v) != 0;
}

int CIni::GetInt(const char* section, const char* key) const { return GetIntDefault(section, key, 0); }

bool CIni::GetBool(const char* section, const char* key) const { return GetBoolDefault(section, key, false); }

}  // namespace kestrin
