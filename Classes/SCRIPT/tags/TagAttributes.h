#pragma once
// The three ways tag handlers read an attribute: as text, as a decimal integer, as a flag.
#include <cstdint>
#include <string>

#include "SCRIPT/CScriptBlock.h"

namespace kestrin {

// Leading blanks, an optional sign, then decimal digits up to the first other character;
// no digits give 0. Values beyond 32 bits saturate.
int32_t ParseTagInt(const std::string& text);
// The attribute as an integer, or fallback when absent.
int32_t TagInt(const CScriptBlock& block, const char* name, int32_t fallback = 0);
// Present and not exactly "0".
bool TagFlag(const CScriptBlock& block, const char* name);

}  // namespace kestrin
