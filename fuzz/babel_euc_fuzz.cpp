// EUC-JP engines: to and from UTF-16, to Shift_JIS and ISO-2022-JP.
#include "babel_fuzz_common.h"

#include "babel/euc_to_jis_engine.h"
#include "babel/euc_to_sjis_engine.h"
#include "babel/euc_to_unicode_engine.h"
#include "babel/jis_to_euc_engine.h"
#include "babel/unicode_to_euc_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace babel_fuzz;
    const std::string text = Narrow(data, size);
    const std::u16string wide = Check<babel::euc_to_unicode_engine>(text, size);
    if (wide.size() > text.size()) std::abort();
    const std::string back = Check<babel::unicode_to_euc_engine>(wide, size + 1);
    const std::u16string again = Check<babel::euc_to_unicode_engine>(back, size + 2);
    if (Check<babel::unicode_to_euc_engine>(again, size + 3) != back) std::abort();
    Check<babel::unicode_to_euc_engine>(Wide(data, size), size);
    Check<babel::euc_to_sjis_engine>(text, size + 4);
    // EUC-JP written as ISO-2022-JP reads back unchanged when it came from
    // valid characters and holds no bytes that ISO-2022-JP reserves.
    const std::string jis = Check<babel::euc_to_jis_engine>(back, size + 5);
    if (back.find_first_of("\x1B\x0E\x0F") == std::string::npos &&
        Check<babel::jis_to_euc_engine>(jis, size + 6) != back)
        std::abort();
    Check<babel::euc_to_jis_engine>(text, size + 7);
    return 0;
}
