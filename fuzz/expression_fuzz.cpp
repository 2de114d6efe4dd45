// The expression evaluator over arbitrary bytes. Byte 0 picks the encoding and whether a
// local scope is open; the rest is the expression.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "SCRIPT/COruVariables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    kestrin::COruVariables vars;
    vars.SetEncoding(data[0] % 3);
    vars.AddQuoteCharacter('\'');
    if (data[0] & 0x80) vars.AddQuoteCharacter('"');
    vars.SetInt("a", 7);
    vars.SetString("s", "05");
    vars.SetInt("m", INT32_MIN);
    if (data[0] & 0x40) vars.PushLocalScope()->SetString("a", "local");
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    const char* p = text.c_str();
    kestrin::CVariant* v = vars.EvaluateExpression(p);
    if (p < text.c_str() || p > text.c_str() + text.size()) std::abort();
    if (v) {
        v->GetString();
        v->GetInt();
        v->IsNumeric();
    }
    vars.ClearTemporaries();
    vars.Evaluate(text);
    if (vars.GetTemporaryCount() != 0) std::abort();
    return 0;
}
