#include "babel/sjis_cp932_to_unicode_engine.h"

#include "babel/bbl_byte_classes.h"
#include "babel/code_table.h"

namespace babel {

std::size_t sjis_cp932_to_unicode_engine::translate_units(const char* units, std::size_t n, writer& buf) {
    const auto* s = reinterpret_cast<const unsigned char*>(units);
    std::size_t p = 0;
    while (p < n) {
        buf.begin_char();
        const unsigned b = s[p];
        if (b < 0x80) {
            buf.put(b);
            ++p;
        } else if (is_sjis_lead(b)) {
            if (p + 1 >= n) break;  // wait for the trail byte
            const unsigned t = s[p + 1];
            if (!is_sjis_trail(t)) {
                buf.put_substitute();
                ++p;  // t is read again as a character of its own
                continue;
            }
            const int u = sjis_cp932_to_unicode_table.find(static_cast<int>((b << 8) | t));
            if (u)
                buf.put(static_cast<unsigned>(u));
            else
                buf.put_substitute();
            p += 2;
        } else if (is_halfwidth_katakana(b)) {
            buf.put(static_cast<unsigned>(sjis_cp932_to_unicode_table.find(static_cast<int>(b))));
            ++p;
        } else {
            // 0x80, 0xA0, 0xFD-0xFF keep their number.
            buf.put(b);
            ++p;
        }
    }
    return p;
}

}  // namespace babel
