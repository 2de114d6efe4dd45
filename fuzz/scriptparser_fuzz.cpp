// The scenario parser with COruParser over arbitrary bytes.
// Byte 0 picks the encoding (0, 1, 2); the bytes up to the next zero byte are "tag.ini"
// (absent when byte 0 is odd above the encoding choice); the rest is the script. It is also
// parsed in small slices, which must give the same blocks.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "CORE/CIni.h"
#include "CORE/CSerializer.h"
#include "SCRIPT/COruParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int encoding = data[0] % 3;
    const bool withIni = (data[0] / 3) % 2 == 0;
    const char* rest = reinterpret_cast<const char*>(data + 1);
    const size_t restSize = size - 1;
    const void* zero = std::memchr(rest, 0, restSize);
    const size_t iniSize = zero ? static_cast<size_t>(static_cast<const char*>(zero) - rest) : 0;
    const std::string iniText(rest, iniSize);
    const std::string script =
        zero ? std::string(rest + iniSize + 1, restSize - iniSize - 1) : std::string(rest, restSize);

    std::shared_ptr<kestrin::CIni> ini;
    if (withIni) {
        ini = std::make_shared<kestrin::CIni>();
        ini->Parse(iniText.c_str());
    }
    kestrin::COruParser parser(ini);
    parser.SetEncoding(encoding);
    parser.Parse(script.c_str());
    if (parser.GetLine() != 0) std::abort();  // the counter is back at rest after the parse

    for (const auto& block : parser.GetBlocks()) {
        if (block->GetKind() < 0 || block->GetKind() > 3 || block->GetLine() < 1) std::abort();
        if (block->GetKind() == 2 && !block->GetName().empty() && block->GetName()[0] == '&') std::abort();
        // The view in place and the copied block agree.
        kestrin::CScriptBlock copied = *block;
        if (block->GetName() != copied.GetName() || block->GetAttributeCount() != copied.GetAttributes().size())
            std::abort();
        size_t n = 0;
        for (const auto& attribute : copied.GetAttributes()) {
            if (block->GetAttributeName(n++) != attribute.first ||
                block->GetAttribute(attribute.first) != attribute.second)
                std::abort();
        }
        copied.ToCommaText();
        kestrin::CSerializer out;
        copied.Save(&out);
        kestrin::CBinaryStream::CMemoryInfo* image = out.GetMemory();
        kestrin::CScriptBlock copy;
        kestrin::CSerializer in;
        if (image) in.Attach(image->data, static_cast<unsigned>(image->size));
        copy.Load(&in);
        // Strings load up to their first zero byte; scripts cannot hold one, so the copy is exact.
        if (copy != copied) std::abort();
    }

    auto sliced = std::make_shared<kestrin::COruParser>(ini);
    sliced->SetEncoding(encoding);
    kestrin::ScriptText text(script.c_str(), script.c_str() + std::strlen(script.c_str()));
    kestrin::CScriptBlockList blocks = kestrin::COruParser::ParseScriptInSlices(sliced, text);
    while (blocks.ParseMore(1 + script.size() % 13)) {
    }
    const kestrin::CScriptBlockList& whole = parser.GetBlocks();
    if (blocks.size() != whole.size() || sliced->GetLine() != 0) std::abort();
    for (size_t i = 0; i < whole.size(); ++i) {
        if (*blocks[i] != *whole[i]) std::abort();
    }
    return 0;
}
