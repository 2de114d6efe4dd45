// The interpreter's Lua host: the "lua" blocks run at load, the event handlers, and what the
// host object (COruLua) asks of the interpreter (ILuaScriptHost).
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruLua.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/tags/TagMessages.h"

namespace kestrin {

COruLua& CMainScript::GetLua() {
    if (!m_lua) m_lua = std::make_shared<COruLua>(static_cast<ILuaScriptHost*>(this));
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

// --- What the Lua host object asks of the interpreter ---

void CMainScript::TraceLua(int level, const char* format, va_list args) { TraceList(level, format, args); }

int CMainScript::DrawLuaRandom() { return RandomValue(); }

void CMainScript::RunLuaTag(CScriptBlock block) { ExecuteBlock(std::move(block), false); }

std::string CMainScript::EvaluateLuaExpression(const std::string& expression) {
    return GetVariables().Evaluate(expression);
}

CMainScript::CCaret& CMainScript::GetLuaCaret() { return m_state.caret; }

const std::deque<CMainScript::CCaret>& CMainScript::GetLuaCallStack() { return m_state.callStack; }

CScriptBlockList& CMainScript::GetLuaScriptBlocks(const std::string& file) { return GetScriptBlocks(file); }

void CMainScript::SetLuaHandlerName(ELuaHandler which, const std::string& name) { GetLuaHandlerName(which) = name; }

}  // namespace kestrin
