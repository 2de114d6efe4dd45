#include "babel/euc_to_jis_engine.h"

#include "babel/bbl_byte_classes.h"
#include "babel/bbl_iso2022jp.h"

namespace babel {

std::size_t euc_to_jis_engine::translate_units(const char* units, std::size_t n, writer& buf) {
    const auto* s = reinterpret_cast<const unsigned char*>(units);
    std::size_t p = 0;
    auto enter = [&](int needed) { enter_jis_mode(buf, mode, needed); };
    while (p < n) {
        buf.begin_char();
        const unsigned b = s[p];
        if (is_euc_lead(b)) {
            if (p + 1 >= n) break;
            const unsigned t = s[p + 1];
            if (b == 0x8E && is_halfwidth_katakana(t)) {
                enter(jis_mode_katakana);
                buf.put(t - 0x80);
                p += 2;
            } else if (t >= 0x80) {
                enter(jis_mode_jisx0208);
                buf.put(b & 0x7F);
                buf.put(t & 0x7F);
                p += 2;
            } else {
                enter(jis_mode_ascii);
                buf.put_substitute();
                ++p;
            }
        } else if (b == euc_jisx0212_lead) {
            if (n - p < 3) break;
            const unsigned b1 = s[p + 1], b2 = s[p + 2];
            if (b1 >= 0x80 && b2 >= 0x80) {
                enter(jis_mode_jisx0212);
                buf.put(b1 & 0x7F);
                buf.put(b2 & 0x7F);
            } else {
                enter(jis_mode_ascii);
                buf.put_substitute();
            }
            p += 3;
        } else {
            enter(jis_mode_ascii);
            buf.put(b);
            ++p;
        }
    }
    return p;
}

void euc_to_jis_engine::flush() {
    return_jis_to_ascii(output, mode);
    bbl_narrow_to_narrow::flush();
}

void euc_to_jis_engine::clear() {
    bbl_narrow_to_narrow::clear();
    mode = jis_mode_ascii;
}

}  // namespace babel
