#include "CORE/DisplayText.h"

#include "babel/babel.h"

namespace kestrin {

bool IsValidUtf8(const std::string& text) {
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        size_t len = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07u;
        } else {
            return false;
        }
        if (i + len > n) return false;
        for (size_t k = 1; k < len; ++k) {
            const unsigned char t = static_cast<unsigned char>(text[i + k]);
            if ((t & 0xC0u) != 0x80u) return false;
            cp = (cp << 6) | (t & 0x3Fu);
        }
        if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += len;
    }
    return true;
}

uint32_t NextUtf8CodePoint(const std::string& text, size_t& i) {
    const unsigned char c = static_cast<unsigned char>(text[i++]);
    if (c < 0x80) return c;
    const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    if (extra < 0) return 0xFFFD;
    uint32_t cp = c & (0x3Fu >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (static_cast<unsigned char>(text[i++]) & 0x3Fu);
    }
    return cp;
}

std::string GameTextToUtf8(const std::string& text) { return IsValidUtf8(text) ? text : babel::sjis_to_utf8(text); }

std::string Utf8ToGameText(const std::string& utf8, int encoding) {
    if (encoding == 2) return utf8;
    return encoding == 1 ? babel::utf8_to_euc(utf8) : babel::utf8_to_sjis(utf8);
}

}  // namespace kestrin
