#include "SCRIPT/tags/TagAttributes.h"

#include "CORE/StringHelpers.h"

namespace kestrin {

int32_t ParseTagInt(const std::string& text) { return ParseInt32(text); }

int32_t TagInt(const CScriptBlock& block, const char* name, int32_t fallback) {
    auto it = block.GetAttributes().find(name);
    return it == block.GetAttributes().end() ? fallback : ParseTagInt(it->second);
}

bool TagFlag(const CScriptBlock& block, const char* name) {
    auto it = block.GetAttributes().find(name);
    return it != block.GetAttributes().end() && it->second != "0";
}

}  // namespace kestrin
