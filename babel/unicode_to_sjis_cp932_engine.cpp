#include "babel/unicode_to_sjis_cp932_engine.h"

#include "babel/bbl_byte_classes.h"
#include "babel/code_table.h"

namespace babel {

std::size_t unicode_to_sjis_cp932_engine::translate_units(const char16_t* s, std::size_t n, writer& buf) {
    for (std::size_t p = 0; p < n; ++p) {
        buf.begin_char();
        const unsigned u = s[p];
        if (u < 0x80) {
            buf.put(u);
            continue;
        }
        const unsigned v = static_cast<unsigned>(unicode_to_sjis_cp932_table.find(static_cast<int>(u)));
        if (v > 0xFF) {
            buf.put(v >> 8, v & 0xFF);
        } else if (v) {
            buf.put(v);
        } else if (!is_private_use(u)) {
            buf.put_substitute();  // also each half of a surrogate pair
        }
    }
    return n;
}

}  // namespace babel
