// ISO-2022-JP readers, and the chains through EUC-JP to UTF-16 and UTF-8.
#include "babel_fuzz_common.h"

#include "babel/babel.h"
#include "babel/jis_to_euc_engine.h"
#include "babel/jis_to_sjis_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace babel_fuzz;
    const std::string text = Narrow(data, size);
    Check<babel::jis_to_sjis_engine>(text, size);
    Check<babel::jis_to_euc_engine>(text, size + 1);
    babel::jis_to_utf8(text);
    babel::jis_to_unicode(text);
    babel::utf8_to_jis(text);
    return 0;
}
