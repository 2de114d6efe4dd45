#include "babel/unicode_to_utf8_engine.h"

#include <cstdint>

namespace babel {

std::size_t unicode_to_utf8_engine::translate_units(const char16_t* s, std::size_t n, writer& buf) {
    std::size_t p = 0;
    while (p < n) {
        buf.begin_char();
        std::uint32_t v = s[p];
        if (v < 0x80) {
            buf.put(v);
            ++p;
            continue;
        }
        if (v >= 0xD800 && v <= 0xDBFF) {
            if (p + 1 >= n) break;  // a high surrogate waits for its partner
            const std::uint32_t w = s[p + 1];
            if (w >= 0xDC00 && w <= 0xDFFF) {
                v = ((v - 0xD800) << 10) + (w - 0xDC00) + 0x10000;
                ++p;
            }
        }
        ++p;
        // Unpaired surrogates are written as values of their own.
        if (v < 0x800) {
            buf.put(0xC0 | (v >> 6), 0x80 | (v & 0x3F));
        } else if (v < 0x10000) {
            buf.put(0xE0 | (v >> 12), 0x80 | ((v >> 6) & 0x3F), 0x80 | (v & 0x3F));
        } else {
            buf.put(0xF0 | (v >> 18), 0x80 | ((v >> 12) & 0x3F), 0x80 | ((v >> 6) & 0x3F), 0x80 | (v & 0x3F));
        }
    }
    return p;
}

}  // namespace babel
