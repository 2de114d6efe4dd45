// Saved variable stores and script blocks over arbitrary bytes (saves are outside data):
// loading never fails hard, and whatever loaded saves again.
#include <cstddef>
#include <cstdint>

#include "CORE/CSerializer.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CScriptBlock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        kestrin::COruVariables vars;
        vars.SetString("g.kept", "1");
        kestrin::CSerializer in;
        in.Attach(data, static_cast<unsigned>(size));
        vars.Load(&in);
        vars.LoadWithPrefix(&in, 1);
        vars.Evaluate("g.kept + 1");
        kestrin::CSerializer out;
        vars.Save(&out);
        out.GetMemory();
    }
    {
        kestrin::CScriptBlock block;
        kestrin::CSerializer in;
        in.Attach(data, static_cast<unsigned>(size));
        block.Load(&in);
        block.ToCommaText();
        kestrin::CSerializer out;
        block.Save(&out);
        out.GetMemory();
    }
    return 0;
}
