// CIni over arbitrary bytes: every input parses, queries never read out of bounds.
#include "CORE/CIni.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    kestrin::CIni ini;
    ini.Parse(text.c_str());
    ini.Parse(text.data(), size);  // the length form must not need a terminator
    for (const auto& section : ini.GetSections()) {
        for (const auto& entry : section.second) {
            ini.GetIntDefault(section.first.c_str(), entry.first.c_str(), 1);
            ini.GetBoolDefault(section.first.c_str(), entry.first.c_str(), true);
            ini.Trim(entry.second);
        }
    }
    ini.Trim(text);
    return 0;
}
