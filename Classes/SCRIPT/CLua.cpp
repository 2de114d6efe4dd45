#include "SCRIPT/CLua.h"

#include <lua.hpp>

namespace kestrin {

CLua::CLua() {
    m_state = luaL_newstate();
    if (m_state) luaL_openlibs(m_state);
}

CLua::~CLua() {
    if (m_state) lua_close(m_state);
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
    if (luaL_loadstring(m_state, chunk.c_str()) != 0 || lua_pcall(m_state, 0, 0, 0) != 0) {
        TakeError();
        lua_settop(m_state, top);
        return true;
    }
    lua_settop(m_state, top);
    return false;
}

}  // namespace kestrin
