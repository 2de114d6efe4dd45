#include "babel/sjis_to_euc_engine.h"

#include "babel/bbl_byte_classes.h"
#include "babel/code_table.h"

namespace babel {

std::size_t sjis_to_euc_engine::translate_units(const char* units, std::size_t n, writer& buf) {
    const auto* s = reinterpret_cast<const unsigned char*>(units);
    std::size_t p = 0;
    while (p < n) {
        buf.begin_char();
        const unsigned b = s[p];
        if (is_sjis_lead(b)) {
            if (p + 1 >= n) break;
            const unsigned t = s[p + 1];
            if (!is_sjis_trail(t)) {
                buf.put_substitute();
                ++p;
                continue;
            }
            if (b < 0xFA) {
                // JIS X 0208 row and cell; the user-defined leads F0-F9
                // follow the same arithmetic.
                const unsigned a = (2 * b) & 0xFF;
                if (t > 0x9E) {
                    buf.put((a > 0x3E ? a + 0x20 : a - 0x60) & 0xFF);
                    buf.put((t + 2) & 0xFF);
                } else {
                    buf.put((a > 0x3E ? a + 0x1F : a - 0x61) & 0xFF);
                    buf.put((t < 0x80 ? t + 0x61 : t + 0x60) & 0xFF);
                }
            } else {
                // IBM extensions: the code of the same character elsewhere.
                // An unassigned pair is one bad character: both bytes go.
                const unsigned v = static_cast<unsigned>(sjis_ibm_to_euc_table.find(static_cast<int>((b << 8) | t)));
                if (v) {
                    buf.put(v >> 8);
                    buf.put(v & 0xFF);
                } else {
                    buf.put_substitute();
                }
            }
            p += 2;
        } else if (is_halfwidth_katakana(b)) {
            buf.put(0x8E);
            buf.put(b);
            ++p;
        } else {
            buf.put(b);
            ++p;
        }
    }
    return p;
}

}  // namespace babel
