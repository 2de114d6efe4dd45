#ifndef BABEL_CODE_TABLE_H
#define BABEL_CODE_TABLE_H

#include <cstdint>

namespace babel {

// A constant map from a 16-bit key to a 32-bit value in three levels:
// 256 pages (high byte) of 8 blocks (bits 5-7) of 32 values (bits 0-4).
// Null pages and blocks stand for zeros, so unmapped ranges cost nothing.
// The value 0 means "no entry".
class code_table {
public:
    using block = const std::uint32_t*;
    using page = const block*;

    constexpr explicit code_table(const page* pages) : pages_(pages) {}

    int find(int key) const {
        if (key < 0 || key > 0xFFFF) return 0;
        const page p = pages_[key >> 8];
        if (!p) return 0;
        const block b = p[(key >> 5) & 7];
        if (!b) return 0;
        return static_cast<int>(b[key & 31]);
    }

private:
    const page* pages_;
};

// Code page 932 (double-byte codes and half-width katakana) to UTF-16.
extern const code_table sjis_cp932_to_unicode_table;
// UTF-16 to code page 932 (values above 0xFF are two bytes, high first).
extern const code_table unicode_to_sjis_cp932_table;
// EUC-JP two-byte codes (and 8E + katakana) to UTF-16.
extern const code_table euc_to_unicode_table;
// The two bytes after 8F (JIS X 0212) to UTF-16.
extern const code_table euc_jisx0212_to_unicode_table;
// UTF-16 to EUC-JP: values above 0xFFFF are 8F b1 b2.
extern const code_table unicode_to_euc_table;
// IBM extensions of code page 932 (FA40-FC4B) to EUC-JP, and back.
extern const code_table sjis_ibm_to_euc_table;
extern const code_table euc_to_sjis_ibm_table;

}  // namespace babel

#endif
