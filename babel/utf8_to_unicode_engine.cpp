#include "babel/utf8_to_unicode_engine.h"

#include <cstdint>

namespace babel {

namespace {

// Per first byte: the sequence length it announces (0 for bytes that never
// start a valid sequence: continuation bytes, the overlong C0 and C1, and F5
// to FF, which would encode values above U+10FFFF), and the range allowed for
// the second byte, narrower than 80-BF after E0 and F0 (overlong forms), ED
// (surrogates) and F4 (above U+10FFFF).
struct utf8_first_bytes {
    unsigned char len[256];
    unsigned char second_min[256];
    unsigned char second_max[256];
    constexpr utf8_first_bytes() : len(), second_min(), second_max() {
        for (int b = 0; b < 256; ++b) {
            len[b] = b < 0x80 ? 1 : b < 0xC2 ? 0 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF5 ? 4 : 0;
            second_min[b] = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
            second_max[b] = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
        }
    }
};
constexpr utf8_first_bytes kFirst;

inline bool is_continuation(unsigned b) { return (b & 0xC0) == 0x80; }

// How many of the `avail` bytes at s (a first byte of length k, avail <= k)
// are valid so far: avail when they are a valid sequence or the start of one.
inline std::size_t valid_length(const unsigned char* s, std::size_t avail) {
    if (avail < 2) return avail;
    if (s[1] < kFirst.second_min[s[0]] || s[1] > kFirst.second_max[s[0]]) return 1;
    for (std::size_t i = 2; i < avail; ++i)
        if (!is_continuation(s[i])) return i;
    return avail;
}

}  // namespace

std::size_t utf8_to_unicode_engine::translate_units(const char* units, std::size_t n, writer& buf) {
    const auto* s = reinterpret_cast<const unsigned char*>(units);
    std::size_t p = 0;
    while (p < n) {
        buf.begin_char();
        const unsigned b = s[p];
        if (b < 0x80) {
            buf.put(b);
            ++p;
            continue;
        }
        if ((b & 0xF0) == 0xE0 && n - p >= 3) {
            // Three bytes, the common case of Japanese text.
            const unsigned c1 = s[p + 1], c2 = s[p + 2];
            if (c1 >= kFirst.second_min[b] && c1 <= kFirst.second_max[b] && is_continuation(c2)) {
                buf.put(((b & 0x0Fu) << 12) | ((c1 & 0x3Fu) << 6) | (c2 & 0x3Fu));
                p += 3;
                continue;
            }
        }
        const unsigned k = kFirst.len[b];
        const std::size_t avail = n - p < k ? n - p : k;
        if (k == 0 || valid_length(s + p, avail) < avail) {
            // A bad sequence gives one "?" for its first byte; the next byte
            // is read again on its own, so text after it is never lost.
            buf.put_substitute();
            ++p;
            continue;
        }
        if (avail < k) break;  // wait for the rest of the sequence
        if (k == 2) {
            buf.put(((b & 0x1Fu) << 6) | (s[p + 1] & 0x3Fu));
        } else if (k == 3) {
            buf.put(((b & 0x0Fu) << 12) | ((s[p + 1] & 0x3Fu) << 6) | (s[p + 2] & 0x3Fu));
        } else {
            const std::uint32_t v =
                ((b & 0x07u) << 18) | ((s[p + 1] & 0x3Fu) << 12) | ((s[p + 2] & 0x3Fu) << 6) | (s[p + 3] & 0x3Fu);
            buf.put(0xD800 + ((v - 0x10000) >> 10), 0xDC00 + (v & 0x3FF));
        }
        p += k;
    }
    return p;
}

}  // namespace babel
