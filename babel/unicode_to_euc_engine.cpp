#include "babel/unicode_to_euc_engine.h"

#include "babel/bbl_byte_classes.h"
#include "babel/code_table.h"

namespace babel {

std::size_t unicode_to_euc_engine::translate_units(const char16_t* s, std::size_t n, writer& buf) {
    for (std::size_t p = 0; p < n; ++p) {
        buf.begin_char();
        const unsigned u = s[p];
        if (u < 0x80) {
            buf.put(u);
            continue;
        }
        const unsigned v = static_cast<unsigned>(unicode_to_euc_table.find(static_cast<int>(u)));
        if (v > 0xFFFF) {
            buf.put(euc_jisx0212_lead, (v >> 8) & 0xFF, v & 0xFF);
        } else if (v) {
            buf.put(v >> 8, v & 0xFF);
        } else if (!is_private_use(u)) {
            buf.put_substitute();
        }
    }
    return n;
}

}  // namespace babel
