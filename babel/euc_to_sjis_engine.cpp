#include "babel/euc_to_sjis_engine.h"

#include "babel/bbl_byte_classes.h"
#include "babel/code_table.h"

namespace babel {

std::size_t euc_to_sjis_engine::translate_units(const char* units, std::size_t n, writer& buf) {
    const auto* s = reinterpret_cast<const unsigned char*>(units);
    std::size_t p = 0;
    while (p < n) {
        buf.begin_char();
        const unsigned b = s[p];
        if (is_euc_lead(b)) {
            if (p + 1 >= n) break;
            const unsigned t = s[p + 1];
            if (b == 0x8E && is_halfwidth_katakana(t)) {
                buf.put(t);
                p += 2;
                continue;
            }
            if (t < 0x80) {
                buf.put_substitute();
                ++p;
                continue;
            }
            const unsigned code = (b << 8) | t;
            if (code >= 0xF9A1 && code <= 0xFCFE) {
                // Rows 89-92 go to the IBM extension code where one
                // carries the character; the rest (such as the NEC-selected
                // not-sign) keep their own code by the arithmetic below.
                const unsigned v = static_cast<unsigned>(euc_to_sjis_ibm_table.find(static_cast<int>(code)));
                if (v) {
                    buf.put(v >> 8);
                    buf.put(v & 0xFF);
                    p += 2;
                    continue;
                }
            }
            const unsigned h = b / 2;
            if (b & 1) {
                buf.put((h >= 0x6F ? h + 0x71 : h + 0x31) & 0xFF);
                buf.put((t >= 0xE0 ? t - 0x60 : t - 0x61) & 0xFF);
            } else {
                buf.put((h > 0x6F ? h + 0x70 : h + 0x30) & 0xFF);
                buf.put((t - 2) & 0xFF);
            }
            p += 2;
        } else if (b == euc_jisx0212_lead) {
            if (n - p < 3) break;
            buf.put_substitute();  // JIS X 0212 has no Shift_JIS form
            p += 3;
        } else {
            buf.put(b);
            ++p;
        }
    }
    return p;
}

}  // namespace babel
