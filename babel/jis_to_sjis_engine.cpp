#include "babel/jis_to_sjis_engine.h"

#include "babel/bbl_iso2022jp.h"
#include "babel/code_table.h"

namespace babel {

std::size_t jis_to_sjis_engine::translate_units(const char* units, std::size_t n, writer& buf) {
    const auto* s = reinterpret_cast<const unsigned char*>(units);
    std::size_t p = 0;
    while (p < n) {
        buf.begin_char();
        const unsigned b = s[p];
        const std::size_t taken = read_jis_control(s + p, n - p, mode, true);
        if (taken == jis_control_wait) break;  // an escape cut off by the end waits
        if (taken) {
            p += taken;
            continue;
        }
        if (mode == jis_mode_jisx0208) {
            if (p + 1 >= n) break;
            const unsigned c = s[p + 1];
            const unsigned e = ((b << 8) | c) | 0x8080;
            if (e >= 0xF9A1 && e <= 0xFCFE) {
                // Rows 89-92: the IBM extension code where one carries the
                // character, else the code of the arithmetic below.
                const unsigned v = static_cast<unsigned>(euc_to_sjis_ibm_table.find(static_cast<int>(e)));
                if (v) {
                    buf.put(v >> 8);
                    buf.put(v & 0xFF);
                    p += 2;
                    continue;
                }
            }
            int first = ((static_cast<int>(b) - 0x21) >> 1) + 0x81;
            if (first > 0x9F) first += 0x40;
            unsigned second;
            if (b & 1)
                second = c >= 0x60 ? c + 0x20 : c + 0x1F;
            else
                second = c + 0x7E;
            buf.put(static_cast<unsigned>(first) & 0xFF);
            buf.put(second & 0xFF);
            p += 2;
        } else if (mode == jis_mode_jisx0212) {
            if (p + 1 >= n) break;
            buf.put_substitute();  // JIS X 0212 has no Shift_JIS form
            p += 2;
        } else if (mode == jis_mode_katakana || mode == jis_mode_shifted_katakana) {
            buf.put((b + 0x80) & 0xFF);
            ++p;
        } else {
            buf.put(b);
            ++p;
        }
    }
    return p;
}

void jis_to_sjis_engine::flush() {
    mode = jis_mode_ascii;
    bbl_narrow_to_narrow::flush();
}

void jis_to_sjis_engine::clear() {
    bbl_narrow_to_narrow::clear();
    mode = jis_mode_ascii;
}

}  // namespace babel
