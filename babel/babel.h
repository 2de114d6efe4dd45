#ifndef BABEL_BABEL_H
#define BABEL_BABEL_H

#include <string>

// Whole-string conversions between Shift_JIS (code page 932), EUC-JP,
// ISO-2022-JP ("jis"), UTF-8 and UTF-16 ("unicode", as std::u16string).
// Each call converts one complete string with a fresh engine. None fails:
// what cannot be converted becomes "?" (or is dropped, for unmapped
// private-use characters). No byte-order mark is written or skipped.
namespace babel {

std::string sjis_to_euc(const std::string& text);
std::string sjis_to_jis(const std::string& text);
std::string euc_to_sjis(const std::string& text);
std::string euc_to_jis(const std::string& text);
std::string jis_to_sjis(const std::string& text);
std::string jis_to_euc(const std::string& text);

std::u16string sjis_cp932_to_unicode(const std::string& text);
std::string unicode_to_sjis_cp932(const std::u16string& text);
std::u16string euc_to_unicode(const std::string& text);
std::string unicode_to_euc(const std::u16string& text);
std::u16string utf8_to_unicode(const std::string& text);
std::string unicode_to_utf8(const std::u16string& text);
std::u16string jis_to_unicode(const std::string& text);

std::string sjis_to_utf8(const std::string& text);
std::string euc_to_utf8(const std::string& text);
std::string jis_to_utf8(const std::string& text);
std::string utf8_to_sjis(const std::string& text);
std::string utf8_to_euc(const std::string& text);
std::string utf8_to_jis(const std::string& text);

// Called once when the script interpreter is made. The tables are constant
// data, so there is nothing to prepare; safe to call any number of times.
void init_maps();

}  // namespace babel

#endif
