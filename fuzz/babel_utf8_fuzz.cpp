// UTF-8 and UTF-16 engines, and the whole-string chains from UTF-8.
#include "babel_fuzz_common.h"

#include "babel/babel.h"
#include "babel/unicode_to_utf8_engine.h"
#include "babel/utf8_to_unicode_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace babel_fuzz;
    const std::string text = Narrow(data, size);
    const std::u16string wide = Check<babel::utf8_to_unicode_engine>(text, size);
    if (wide.size() > text.size())
        std::abort();
    // UTF-16 -> UTF-8 -> UTF-16 gives the units back exactly, unpaired
    // surrogates included (a lone high surrogate at the very end aside).
    const std::u16string units = Wide(data, size);
    const std::string utf8 = Check<babel::unicode_to_utf8_engine>(units, size + 1);
    const std::u16string back = Check<babel::utf8_to_unicode_engine>(utf8, size + 2);
    const bool high_at_end = !units.empty() && units.back() >= 0xD800 && units.back() <= 0xDBFF;
    if (!high_at_end && back != units)
        std::abort();
    babel::utf8_to_sjis(text);
    babel::utf8_to_euc(text);
    babel::utf8_to_jis(text);
    babel::sjis_to_utf8(text);
    babel::euc_to_utf8(text);
    return 0;
}
