#include "babel/sjis_to_jis_engine.h"

#include "babel/bbl_byte_classes.h"
#include "babel/bbl_iso2022jp.h"
#include "babel/code_table.h"

namespace babel {

std::size_t sjis_to_jis_engine::translate_units(const char* units, std::size_t n, writer& buf) {
    const auto* s = reinterpret_cast<const unsigned char*>(units);
    std::size_t p = 0;
    auto enter = [&](int needed) { enter_jis_mode(buf, mode, needed); };
    while (p < n) {
        buf.begin_char();
        const unsigned b = s[p];
        if (is_sjis_lead(b)) {
            if (p + 1 >= n) break;
            unsigned t = s[p + 1];
            if (!is_sjis_trail(t)) {
                enter(jis_mode_ascii);
                buf.put_substitute();
                ++p;
                continue;
            }
            if (b >= 0xFA) {
                const unsigned v = static_cast<unsigned>(sjis_ibm_to_euc_table.find(static_cast<int>((b << 8) | t)));
                if (v) {
                    enter(jis_mode_jisx0208);
                    buf.put((v >> 8) & 0x7F);
                    buf.put(v & 0x7F);
                } else {
                    // An unassigned pair is one bad character: both bytes go.
                    enter(jis_mode_ascii);
                    buf.put_substitute();
                }
                p += 2;
                continue;
            }
            // Row and cell of JIS X 0208 (user-defined leads alike).
            unsigned j = b < 0xA0 ? b - 0x70 : b - 0xB0;
            if (t >= 0x80) --t;
            j *= 2;
            if (t < 0x9E)
                --j;
            else
                t -= 0x5E;
            t -= 0x1F;
            enter(jis_mode_jisx0208);
            buf.put(j & 0xFF);
            buf.put(t & 0xFF);
            p += 2;
        } else if (is_halfwidth_katakana(b)) {
            enter(jis_mode_katakana);
            buf.put(b - 0x80);
            ++p;
        } else {
            enter(jis_mode_ascii);
            buf.put(b);
            ++p;
        }
    }
    return p;
}

void sjis_to_jis_engine::flush() {
    return_jis_to_ascii(output, mode);
    bbl_narrow_to_narrow::flush();
}

void sjis_to_jis_engine::clear() {
    bbl_narrow_to_narrow::clear();
    mode = jis_mode_ascii;
}

}  // namespace babel
