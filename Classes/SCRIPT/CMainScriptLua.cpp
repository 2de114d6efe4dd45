// The interpreter's Lua host: the "lua" blocks run at load and the event handlers.
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruLua.h"
#include "SCRIPT/tags/TagMessages.h"

namespace kestrin {

COruLua& CMainScript::GetLua() {
    if (!m_lua) m_lua = std::make_shared<COruLua>(this);
    return *m_lua;
}

std::string& CMainScript::GetLuaHandlerName(int which) {
    switch (which) {
        case LUA_CLICKWAITIN: return m_state.luaClickWaitIn;
        case LUA_CLICKWAITOUT: return m_state.luaClickWaitOut;
        default: return m_state.luaEnterFrame;
    }
}

void CMainScript::CallLuaHandler(std::string& name, const char* event) {
    if (name.empty()) return;
    COruLua& lua = GetLua();
    if (!lua.CallFunction(name)) return;
    Trace(1, "[Lua] %s -> %s(): %s", event, name.c_str(), lua.GetLastError().c_str());
    name.clear();
}

void CMainScript::RunLuaChunk(const std::string& file, const CScriptBlock& block) {
    COruLua& lua = GetLua();
    if (lua.DoString(block.GetAttribute("script"))) {
        TraceInFile(1, file, block.GetLine(), tagmsg::kLuaFailed, lua.GetLastError().c_str());
    }
}

}  // namespace kestrin
