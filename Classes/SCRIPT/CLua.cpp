#include "SCRIPT/CLua.h"

#include <lua.hpp>

#include "CORE/CTimer.h"

namespace kestrin {

namespace {

// The registry key under which a state finds its CLua.
const char kHostKey = 0;

// Instructions between two looks at the clock.
constexpr int kHookInterval = 10000;

}  // namespace

CLua::CLua() {
    m_state = luaL_newstate();
    if (!m_state) return;
    luaL_openlibs(m_state);
    lua_pushlightuserdata(m_state, const_cast<char*>(&kHostKey));
    lua_pushlightuserdata(m_state, this);
    lua_rawset(m_state, LUA_REGISTRYINDEX);
    // Coroutines take the hook of the thread that makes them.
    lua_sethook(m_state, &CLua::CountHook, LUA_MASKCOUNT, kHookInterval);
}

CLua::~CLua() {
    if (m_state) lua_close(m_state);
}

std::string CLua::RunLimitText() const {
    return std::to_string(m_runLimitMs) + " ms を超えて実行されたため、中断しました。";
}

void CLua::BeginRun() {
    if (m_runDepth++ > 0) return;
    m_runStart = CTimer::GetInstance()->GetTime();
    m_runLimitText = RunLimitText();
    // A call stopped before may have left the hook firing at every instruction. A hook
    // that someone else put in (a test's own instruction limit) is left alone.
    if (lua_gethook(m_state) == &CLua::CountHook) lua_sethook(m_state, &CLua::CountHook, LUA_MASKCOUNT, kHookInterval);
}

void CLua::EndRun() {
    if (m_runDepth > 0) --m_runDepth;
}

// Nothing in this frame has a destructor: lua_error leaves it by a long jump.
void CLua::CountHook(lua_State* L, lua_Debug*) {
    lua_pushlightuserdata(L, const_cast<char*>(&kHostKey));
    lua_rawget(L, LUA_REGISTRYINDEX);
    CLua* self = static_cast<CLua*>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    if (!self || self->m_runDepth == 0 || self->m_runLimitMs == 0) return;
    if (CTimer::GetInstance()->GetTime() - self->m_runStart < self->m_runLimitMs) return;
    // From now on at every instruction, so that a pcall catching the error cannot keep
    // the call alive: the next instruction outside it fails again.
    lua_sethook(L, &CLua::CountHook, LUA_MASKCOUNT, 1);
    lua_pushlstring(L, self->m_runLimitText.data(), self->m_runLimitText.size());
    lua_error(L);
}

void CLua::TakeError() {
    size_t length = 0;
    // Only strings and numbers have a text; other error values are named by their type,
    // as the stand-alone interpreter does.
    if (lua_type(m_state, -1) == LUA_TSTRING || lua_type(m_state, -1) == LUA_TNUMBER) {
        const char* text = lua_tolstring(m_state, -1, &length);
        m_lastError.assign(text, length);
    } else {
        m_lastError = "(error object is a ";
        m_lastError += lua_typename(m_state, lua_type(m_state, -1));
        m_lastError += " value)";
    }
    lua_pop(m_state, 1);
}

bool CLua::DoString(const std::string& chunk) {
    if (!m_state) {
        m_lastError = "not enough memory";
        return true;
    }
    int top = lua_gettop(m_state);
    BeginRun();
    bool failed = luaL_loadstring(m_state, chunk.c_str()) != 0 || lua_pcall(m_state, 0, 0, 0) != 0;
    EndRun();
    if (failed) {
        TakeError();
        lua_settop(m_state, top);
        return true;
    }
    lua_settop(m_state, top);
    return false;
}

}  // namespace kestrin
