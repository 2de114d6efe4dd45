// ISO-2022-JP readers, and the chains through EUC-JP to UTF-16 and UTF-8.
#include "babel_fuzz_common.h"

#include "babel/babel.h"
#include "babel/jis_to_euc_engine.h"
#include "babel/jis_to_sjis_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace babel_fuzz;
    const std::string text = Narrow(data, size);
    Check<babel::jis_to_sjis_engine>(text, size);
    const std::string euc = Check<babel::jis_to_euc_engine>(text, size + 1);
    // The chains pass text along in slices: the same as the steps one by one.
    const std::u16string wide = babel::euc_to_unicode(euc);
    if (babel::jis_to_unicode(text) != wide || babel::jis_to_utf8(text) != babel::unicode_to_utf8(wide)) std::abort();
    if (babel::utf8_to_jis(text) != babel::euc_to_jis(babel::utf8_to_euc(text))) std::abort();
    return 0;
}
