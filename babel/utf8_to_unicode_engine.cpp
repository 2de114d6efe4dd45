#include "babel/utf8_to_unicode_engine.h"

#include <cstdint>

namespace babel {

namespace {

// Sequence length announced by a first byte (0: not a first byte).
struct utf8_lengths {
    unsigned char len[256];
    constexpr utf8_lengths() : len()
    {
        for (int b = 0; b < 256; ++b)
            len[b] = b < 0x80 ? 1 : b < 0xC0 ? 0 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF8 ? 4 : b < 0xFC ? 5 : b < 0xFE ? 6 : 0;
    }
};
constexpr utf8_lengths kLengths;
// Value bits kept from the first byte, by length.
constexpr std::uint32_t kFirstMask[7] = {0, 0x7F, 0x1F, 0x0F, 0x07, 0x03, 0x01};

} // namespace

void utf8_to_unicode_engine::translate()
{
    const auto* s = reinterpret_cast<const unsigned char*>(pending_input.data());
    const std::size_t n = pending_input.size();
    std::size_t p = 0;
    {
        chunk_buffer buf(*this);
        while (p < n) {
            buf.begin_char();
            const unsigned b = s[p];
            if (b < 0x80) {
                buf.put(b);
                ++p;
                continue;
            }
            const unsigned k = kLengths.len[b];
            if (k == 0) {
                buf.put_substitute();
                ++p;
                continue;
            }
            if (n - p < k)
                break; // wait for the rest of the sequence
            // Continuation bytes are taken as they are, without a form test.
            std::uint32_t v = b & kFirstMask[k];
            for (unsigned i = 1; i < k; ++i)
                v = (v << 6) | (s[p + i] & 0x3Fu);
            if (v <= 0xFFFF) {
                buf.put(v);
            } else if (v > 0x10FFFF) {
                buf.put_substitute();
            } else {
                buf.put(0xD800 + ((v - 0x10000) >> 10));
                buf.put(0xDC00 + (v & 0x3FF));
            }
            p += k;
        }
    }
    consume_pending(p);
}

} // namespace babel
