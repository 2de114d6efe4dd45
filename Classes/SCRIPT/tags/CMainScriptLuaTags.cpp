// The Lua tags: "lua" (its chunk already ran when its file was loaded) and "calllua".
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruLua.h"

namespace kestrin {

bool CMainScript::TagLua(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    return false;
}

// Calls the global Lua function named by "function" with the host object and a table of
// all the tag's attributes, "function" included.
bool CMainScript::TagCalllua(CScriptBlock block, bool replay) {
    (void)replay;
    COruLua& lua = GetLua();
    if (lua.CallFunctionWithTable(block.GetAttribute("function"), block.GetAttributes())) {
        Trace(1, "%s(%d): [Lua] %s", m_state.caret.file.c_str(), block.GetLine(), lua.GetLastError().c_str());
    }
    return false;
}

}  // namespace kestrin
