// UTF-8 and UTF-16 engines, and the whole-string chains from UTF-8.
#include "babel_fuzz_common.h"

#include "babel/babel.h"
#include "babel/unicode_to_utf8_engine.h"
#include "babel/utf8_to_unicode_engine.h"

namespace {

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace babel_fuzz;
    const std::string text = Narrow(data, size);
    const std::u16string wide = Check<babel::utf8_to_unicode_engine>(text, size);
    if (wide.size() > text.size()) std::abort();
    // The reader gives only whole surrogate pairs, and valid UTF-8 comes back
    // byte for byte: any "?" it wrote stands for bytes it refused.
    for (size_t i = 0; i < wide.size(); ++i) {
        if (IsLow(wide[i]) || (IsHigh(wide[i]) && (i + 1 == wide.size() || !IsLow(wide[i + 1])))) std::abort();
        if (IsHigh(wide[i])) ++i;
    }
    if (babel::unicode_to_utf8(wide) != text && wide.find(u'?') == std::u16string::npos) std::abort();
    // UTF-16 -> UTF-8 -> UTF-16 gives the units back, except that a surrogate
    // without its partner is written as a three-byte value which the reader
    // refuses ("?" for each byte), and a high surrogate at the very end is "?".
    const std::u16string units = Wide(data, size);
    const std::string utf8 = Check<babel::unicode_to_utf8_engine>(units, size + 1);
    const std::u16string back = Check<babel::utf8_to_unicode_engine>(utf8, size + 2);
    std::u16string expected;
    for (size_t i = 0; i < units.size(); ++i) {
        if (IsHigh(units[i]) && i + 1 < units.size() && IsLow(units[i + 1])) {
            expected.append(units, i, 2);
            ++i;
        } else if (IsHigh(units[i]) && i + 1 == units.size()) {
            expected += u'?';
        } else if (IsHigh(units[i]) || IsLow(units[i])) {
            expected += u"???";
        } else {
            expected += units[i];
        }
    }
    if (back != expected) std::abort();
    // The chains pass text along in slices: the same as the steps one by one.
    if (babel::utf8_to_sjis(text) != babel::unicode_to_sjis_cp932(wide)) std::abort();
    if (babel::utf8_to_euc(text) != babel::unicode_to_euc(wide)) std::abort();
    if (babel::utf8_to_jis(text) != babel::euc_to_jis(babel::unicode_to_euc(wide))) std::abort();
    if (babel::sjis_to_utf8(text) != babel::unicode_to_utf8(babel::sjis_cp932_to_unicode(text))) std::abort();
    if (babel::euc_to_utf8(text) != babel::unicode_to_utf8(babel::euc_to_unicode(text))) std::abort();
    return 0;
}
