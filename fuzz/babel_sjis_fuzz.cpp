// Shift_JIS engines: to and from UTF-16, to EUC-JP and ISO-2022-JP.
#include "babel_fuzz_common.h"

#include "babel/sjis_cp932_to_unicode_engine.h"
#include "babel/sjis_to_euc_engine.h"
#include "babel/sjis_to_jis_engine.h"
#include "babel/unicode_to_sjis_cp932_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace babel_fuzz;
    const std::string text = Narrow(data, size);
    const std::u16string wide = Check<babel::sjis_cp932_to_unicode_engine>(text, size);
    // Every Shift_JIS character is one or two bytes and becomes one unit.
    if (wide.size() > text.size()) std::abort();
    // Back to Shift_JIS and again to UTF-16 is stable.
    const std::string back = Check<babel::unicode_to_sjis_cp932_engine>(wide, size + 1);
    const std::u16string again = Check<babel::sjis_cp932_to_unicode_engine>(back, size + 2);
    if (Check<babel::unicode_to_sjis_cp932_engine>(again, size + 3) != back) std::abort();
    Check<babel::unicode_to_sjis_cp932_engine>(Wide(data, size), size);
    Check<babel::sjis_to_euc_engine>(text, size + 4);
    Check<babel::sjis_to_jis_engine>(text, size + 5);
    // A written ISO-2022-JP text always ends in ASCII.
    babel::sjis_to_jis_engine writer;
    writer.convert(text);
    if (writer.mode != 0) std::abort();
    return 0;
}
