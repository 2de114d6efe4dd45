#include "babel/euc_to_unicode_engine.h"

#include "babel/bbl_byte_classes.h"
#include "babel/code_table.h"

namespace babel {

std::size_t euc_to_unicode_engine::translate_units(const char* units, std::size_t n, writer& buf) {
    const auto* s = reinterpret_cast<const unsigned char*>(units);
    std::size_t p = 0;
    while (p < n) {
        buf.begin_char();
        const unsigned b = s[p];
        if (is_euc_lead(b)) {
            if (p + 1 >= n) break;
            const unsigned t = s[p + 1];
            if (t < 0x40 || t > 0xFE || t == 0x7F) {
                buf.put_substitute();
                ++p;
                continue;
            }
            const int u = euc_to_unicode_table.find(static_cast<int>((b << 8) | t));
            if (u)
                buf.put(static_cast<unsigned>(u));
            else
                buf.put_substitute();
            p += 2;
        } else if (b == euc_jisx0212_lead) {
            if (n - p < 3) break;
            const int u = euc_jisx0212_to_unicode_table.find(static_cast<int>((s[p + 1] << 8) | s[p + 2]));
            if (u)
                buf.put(static_cast<unsigned>(u));
            else
                buf.put_substitute();
            p += 3;
        } else {
            buf.put(b);
            ++p;
        }
    }
    return p;
}

}  // namespace babel
