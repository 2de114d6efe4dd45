#ifndef BABEL_BBL_BYTE_CLASSES_H
#define BABEL_BBL_BYTE_CLASSES_H

namespace babel {

// Shift_JIS (code page 932) lead bytes.
inline bool is_sjis_lead(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
// Bytes that may follow a Shift_JIS lead byte.
inline bool is_sjis_trail(unsigned t) { return t >= 0x40 && t <= 0xFC && t != 0x7F; }
// Single-byte half-width katakana in Shift_JIS (and after 8E in EUC-JP).
inline bool is_halfwidth_katakana(unsigned b) { return b >= 0xA1 && b <= 0xDF; }
// EUC-JP bytes that begin a two-byte character (8E introduces katakana).
inline bool is_euc_lead(unsigned b) { return b == 0x8E || (b >= 0x90 && b <= 0x9F) || (b >= 0xA1 && b <= 0xFE); }
// EUC-JP byte that begins a three-byte JIS X 0212 character.
constexpr unsigned euc_jisx0212_lead = 0x8F;
// Unmapped private-use characters are dropped rather than substituted.
inline bool is_private_use(unsigned u) { return u >= 0xE000 && u <= 0xF8FF; }

}  // namespace babel

#endif
