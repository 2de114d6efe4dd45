#include "CORE/StringHelpers.h"

#include <boost/uuid/detail/sha1.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "CORE/CGameFileNames.h"
#include "CORE/Platform/IShellOpener.h"

namespace kestrin {

bool IsLeadByte(unsigned char b, int* trailCount, int encoding) {
    int trail = 0;
    switch (encoding) {
        case kEncodingShiftJis:
            if (!((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC))) return false;
            trail = 1;
            break;
        case kEncodingEucJp:
            if (!((b >= 0xA1 && b <= 0xF4) || b == 0x8E)) return false;
            trail = 1;
            break;
        case kEncodingUtf8: {
            if (!(b & 0x80)) return false;
            int ones = 0;
            for (int bit = 7; bit >= 0 && (b & (1u << bit)); --bit) ++ones;
            trail = ones - 1;
            break;
        }
        default: return false;
    }
    if (trailCount) *trailCount = trail;
    return true;
}

int GetBytePositionKind(const char* text, int index, int encoding) {
    if (!text || index < 0) return -1;
    const int length = static_cast<int>(std::strlen(text));
    if (index >= length) return -1;
    int i = 0;
    while (i < length) {
        int trail = 0;
        if (!IsLeadByte(static_cast<unsigned char>(text[i]), &trail, encoding)) {
            if (i == index) return 0;
            ++i;
            continue;
        }
        const int n = trail + 1;
        if (index >= i && index < i + n) return index - i + 1;
        i += n;
    }
    return -1;
}

void SplitStringStripping(const char* text, std::vector<std::string>& out, const std::string& separator,
                          const std::string& escapes) {
    out.emplace_back();
    size_t current = out.size() - 1;
    if (!text) return;
    const char* pending = nullptr;
    auto flush = [&](const char* end) {
        if (pending) out[current].append(pending, static_cast<size_t>(end - pending));
        pending = nullptr;
    };
    const char* p = text;
    while (*p) {
        const unsigned char b = static_cast<unsigned char>(*p);
        if (escapes.find(static_cast<char>(b)) != std::string::npos) {
            flush(p);
            if (p[1] == '\0') {  // a trailing escape is dropped
                ++p;
                break;
            }
            if (p[1] == '\n') {  // escape before a line feed: the line feed is examined normally
                ++p;
                continue;
            }
            pending = p + 1;  // the escaped byte is taken literally
            p += 2;
            continue;
        }
        if (!separator.empty()) {
            size_t j = 0;
            bool match = true;
            // A text ending inside the separator counts as a match.
            while (j < separator.size() && p[j] != '\0') {
                if (p[j] != separator[j]) {
                    match = false;
                    break;
                }
                ++j;
            }
            if (match) {
                flush(p);
                out.emplace_back();
                current = out.size() - 1;
                p += j;
                continue;
            }
        }
        if (!pending) pending = p;
        if (IsLeadByte(b, nullptr, kEncodingShiftJis)) {
            if (p[1] == '\0') {
                ++p;
                break;
            }
            p += 2;
        } else {
            ++p;
        }
    }
    flush(p);
}

void SplitString(const char* text, std::vector<std::string>& out, const std::string& separator) {
    SplitStringStripping(text, out, separator, std::string());
}

void JoinStrings(const std::vector<std::string>& parts, std::string& out, const std::string& separator) {
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += separator;
        out += parts[i];
    }
}

std::string StringReplaceAll(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    // boundary is always the start of a character, so kinds can be found by walking from it.
    size_t boundary = 0;
    size_t searchFrom = 0;
    for (;;) {
        const size_t p = text.find(from, searchFrom);
        if (p == std::string::npos) break;
        size_t i = boundary;
        bool trail = false;
        while (i < p) {
            int n = 0;
            if (IsLeadByte(static_cast<unsigned char>(text[i]), &n, kEncodingShiftJis)) {
                if (i + 1 + n > p) {
                    trail = true;
                    break;
                }
                i += 1 + n;
            } else {
                ++i;
            }
        }
        if (trail) {
            // i is the lead byte's position; p is within its character.
            boundary = i;
            searchFrom = p + 1;
            continue;
        }
        text.replace(p, from.size(), to);
        boundary = p;
        searchFrom = p + to.size();
    }
    return text;
}

const char* FindCharMultibyte(const char* text, char c, int encoding, std::string* before) {
    const char* p = text;
    while (*p) {
        int trail = 0;
        if (IsLeadByte(static_cast<unsigned char>(*p), &trail, encoding)) {
            const char* next = p + 1;
            bool truncated = false;
            for (int k = 0; k < trail; ++k, ++next) {
                if (*next == '\0') {
                    truncated = true;
                    break;
                }
            }
            p = next;
            if (truncated) break;
            continue;
        }
        if (*p == c) {
            if (before) before->assign(text, static_cast<size_t>(p - text));
            return p;
        }
        ++p;
    }
    if (before) before->assign(text, static_cast<size_t>(p - text));
    return p;
}

bool StringEquals(const std::string& s, const char* text) { return text && s.compare(text) == 0; }

std::string ToLowerString(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(b, nullptr, kEncodingShiftJis)) {
            out += static_cast<char>(b);
            if (i + 1 < text.size()) out += text[++i];
            continue;
        }
        out += (b >= 'A' && b <= 'Z') ? static_cast<char>(b - 'A' + 'a') : static_cast<char>(b);
    }
    return out;
}

std::string IntToString(int value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", value);
    return buf;
}

namespace {
std::string Hex32(uint32_t value, bool prefix, bool upper) {
    char buf[16];
    std::snprintf(buf, sizeof buf, upper ? "%X" : "%x", static_cast<unsigned>(value));
    return prefix ? std::string("0x") + buf : std::string(buf);
}
}  // namespace

std::string IntToHexString(int value, bool prefix, bool upper) {
    return Hex32(static_cast<uint32_t>(value), prefix, upper);
}

std::string LongToHexString(int32_t value, bool prefix, bool upper) {
    return Hex32(static_cast<uint32_t>(value), prefix, upper);
}

std::string LongToString(int32_t value) { return IntToString(static_cast<int>(value)); }

std::string Base64Encode(const void* bytes, unsigned length) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const unsigned char* in = static_cast<const unsigned char*>(bytes);
    std::string out;
    out.reserve((static_cast<size_t>(length) + 2) / 3 * 4);
    unsigned i = 0;
    for (; i + 3 <= length; i += 3) {
        const uint32_t v = (uint32_t(in[i]) << 16) | (uint32_t(in[i + 1]) << 8) | in[i + 2];
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    const unsigned rest = length - i;
    if (rest) {
        uint32_t v = uint32_t(in[i]) << 16;
        if (rest == 2) v |= uint32_t(in[i + 1]) << 8;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        if (rest == 2) out += kAlphabet[(v >> 6) & 63];
        while (out.size() % 4) out += '=';
    }
    return out;
}

namespace {
std::string Sha1(const std::string& data) {
    boost::uuids::detail::sha1 sha;
    sha.process_bytes(data.data(), data.size());
    boost::uuids::detail::sha1::digest_type words;
    sha.get_digest(words);
    std::string out(20, '\0');
    for (int w = 0; w < 5; ++w) {
        const uint32_t v = static_cast<uint32_t>(words[w]);
        out[w * 4 + 0] = static_cast<char>(v >> 24);
        out[w * 4 + 1] = static_cast<char>(v >> 16);
        out[w * 4 + 2] = static_cast<char>(v >> 8);
        out[w * 4 + 3] = static_cast<char>(v);
    }
    return out;
}
}  // namespace

std::string HmacSha1Base64(const std::string& key, const std::string& message) {
    if (key.size() < 20) return std::string();
    std::string k = key.size() > 64 ? Sha1(key) : key;
    k.resize(64, '\0');
    std::string inner(64, '\0'), outer(64, '\0');
    for (int i = 0; i < 64; ++i) {
        inner[i] = static_cast<char>(static_cast<unsigned char>(k[i]) ^ 0x36);
        outer[i] = static_cast<char>(static_cast<unsigned char>(k[i]) ^ 0x5C);
    }
    const std::string digest = Sha1(outer + Sha1(inner + message));
    return Base64Encode(digest.data(), 20);
}

std::string UrlEncode(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : text) {
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '.' ||
            b == '_' || b == '~') {
            out += static_cast<char>(b);
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    }
    return out;
}

std::string UrlDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            // Up to two characters read as base 16 the way strtol does; unreadable text is 0.
            const std::string digits = text.substr(i + 1, 2);
            const long v = std::strtol(digits.c_str(), nullptr, 16);
            out += static_cast<char>(static_cast<unsigned long>(v) & 0xFF);
            if (digits.size() < 2) break;
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

int32_t ParseInt32(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r' ||
                               text[i] == '\v' || text[i] == '\f'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    const int64_t limit =
        negative ? -int64_t(std::numeric_limits<int32_t>::min()) : std::numeric_limits<int32_t>::max();
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit) value = limit;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

int PercentToFixed16(int percent) {
    const int64_t whole = static_cast<int64_t>(percent / 100) * 65536;
    const int64_t frac = static_cast<int64_t>(percent % 100) * 65536 / 100;
    const int64_t v = whole + frac;
    if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

// The desktop takes UTF-8 (a game's Shift_JIS file name is converted).
void OpenWithShell(const std::string& target) {
    if (target.empty()) return;
    GetShellOpener()->Open(CGameFileNames::ToUtf8(target));
}

std::vector<std::string> CollapsePathElements(const std::string& path, bool* climbed) {
    std::vector<std::string> parts;
    if (climbed) *climbed = false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            } else if (climbed) {
                *climbed = true;
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    return parts;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace kestrin
