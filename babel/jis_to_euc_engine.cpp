#include "babel/jis_to_euc_engine.h"

#include "babel/bbl_iso2022jp.h"

namespace babel {

std::size_t jis_to_euc_engine::translate_units(const char* units, std::size_t n, writer& buf) {
    const auto* s = reinterpret_cast<const unsigned char*>(units);
    std::size_t p = 0;
    while (p < n) {
        buf.begin_char();
        const unsigned b = s[p];
        const std::size_t taken = read_jis_control(s + p, n - p, mode, false);
        if (taken == jis_control_wait) break;  // an escape cut off by the end waits
        if (taken) {
            p += taken;
            continue;
        }
        if (mode == jis_mode_jisx0208 || mode == jis_mode_jisx0212) {
            if (p + 1 >= n) break;  // the second byte of the pair is still to come
            if (mode == jis_mode_jisx0212) buf.put(0x8F);
            buf.put(b | 0x80);
            buf.put(s[p + 1] | 0x80u);
            p += 2;
        } else if (mode == jis_mode_katakana || mode == jis_mode_shifted_katakana) {
            buf.put(0x8E);
            buf.put((b + 0x80) & 0xFF);
            ++p;
        } else {
            buf.put(b);
            ++p;
        }
    }
    return p;
}

void jis_to_euc_engine::flush() {
    mode = jis_mode_ascii;
    bbl_narrow_to_narrow::flush();
}

void jis_to_euc_engine::clear() {
    bbl_narrow_to_narrow::clear();
    mode = jis_mode_ascii;
}

}  // namespace babel
