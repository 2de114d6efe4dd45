#include "SCRIPT/tags/TagAttributes.h"

#include <limits>

namespace kestrin {

int32_t ParseTagInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r' ||
                               text[i] == '\v' || text[i] == '\f'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    const int64_t limit = negative ? -int64_t(std::numeric_limits<int32_t>::min()) : std::numeric_limits<int32_t>::max();
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit) value = limit;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

int32_t TagInt(const CScriptBlock& block, const char* name, int32_t fallback) {
    auto it = block.GetAttributes().find(name);
    return it == block.GetAttributes().end() ? fallback : ParseTagInt(it->second);
}

bool TagFlag(const CScriptBlock& block, const char* name) {
    auto it = block.GetAttributes().find(name);
    return it != block.GetAttributes().end() && it->second != "0";
}

}  // namespace kestrin
