#include "SCRIPT/CLua.h"

#include <cstdio>
#include <cstdlib>
#include <lua.hpp>

#include "CORE/CLogWindow.h"
#include "CORE/CTimer.h"
#include "CORE/Platform/ICloseSignals.h"
#include "SCRIPT/LuaPatternMatch.h"
#include "SCRIPT/ScriptMessages.h"

namespace kestrin {

namespace {

// The registry key under which a state finds its CLua.
const char kHostKey = 0;

// Instructions between two looks at the clock.
constexpr int kHookInterval = 10000;
// Growing allocations between two looks at the clock; a large one always looks.
constexpr unsigned kGrowthsPerClockRead = 64;
constexpr size_t kLargeGrowth = 64 * 1024;
// Memory above the cap for the collection after a call that reached it.
constexpr size_t kCollectHeadroom = 64 * 1024;

}  // namespace

CLua::CLua() {
    m_state = lua_newstate(&CLua::Allocate, this);
    if (!m_state) return;
    lua_atpanic(m_state, &CLua::Panic);
    luaL_openlibs(m_state);
    OpenPatternFunctions(m_state);
    lua_pushlightuserdata(m_state, const_cast<char*>(&kHostKey));
    lua_pushlightuserdata(m_state, this);
    lua_rawset(m_state, LUA_REGISTRYINDEX);
    // Coroutines take the hook of the thread that makes them.
    lua_sethook(m_state, &CLua::CountHook, LUA_MASKCOUNT, kHookInterval);
}

CLua::~CLua() {
    if (m_state) lua_close(m_state);
}

std::string CLua::RunLimitText() const { return std::to_string(m_runLimitMs) + scriptmsg::kLuaRunLimit; }

std::string CLua::CloseText() const { return scriptmsg::kLuaClosed; }

// Every call is protected, so this only runs for a fault of the engine's own; Lua then
// aborts the program.
int CLua::Panic(lua_State* L) {
    const char* text = lua_tostring(L, -1);
    LogPrintf("Lua: unprotected error (%s)\n", text ? text : "no text");
    return 0;
}

CLua::EStop CLua::CheckStop(bool readClock) {
    if (m_runDepth == 0) return kStopNone;
    if (m_stop != kStopNone) return m_stop;
    if (GetCloseSignals()->HasRequest()) {
        m_stop = kStopClose;
    } else if (readClock && m_runLimitMs != 0 && CTimer::GetInstance()->GetWallTime() - m_runStart >= m_runLimitMs) {
        m_stop = kStopTime;
    }
    return m_stop;
}

// Shrinking and freeing always succeed (Lua 5.1 raises an error on a failed shrink, in
// places such as the collector where it must not). Only growth is refused.
void* CLua::Allocate(void* ud, void* block, size_t oldSize, size_t newSize) {
    CLua* self = static_cast<CLua*>(ud);
    if (newSize == 0) {
        std::free(block);
        self->m_memoryUsed -= oldSize;
        return nullptr;
    }
    if (newSize > oldSize) {
        const size_t growth = newSize - oldSize;
        if (self->m_memoryLimit != 0 &&
            (self->m_memoryUsed > self->m_memoryLimit || growth > self->m_memoryLimit - self->m_memoryUsed)) {
            self->m_capReached = true;
            return nullptr;
        }
        bool readClock = growth >= kLargeGrowth || ++self->m_growthsSinceClock >= kGrowthsPerClockRead;
        if (readClock) self->m_growthsSinceClock = 0;
        if (self->CheckStop(readClock) != kStopNone) return nullptr;
    }
    void* moved = std::realloc(block, newSize);
    if (!moved) {
        if (newSize > oldSize) return nullptr;
        moved = block;  // the old block is large enough
    }
    self->m_memoryUsed = self->m_memoryUsed - oldSize + newSize;
    return moved;
}

void CLua::BeginRun() {
    if (m_runDepth++ > 0) return;
    m_runStart = CTimer::GetInstance()->GetWallTime();
    m_stop = kStopNone;
    m_growthsSinceClock = 0;
    // A call stopped before may have left the hook firing at every instruction. A hook
    // that someone else put in (a test's own instruction limit) is left alone.
    if (lua_gethook(m_state) == &CLua::CountHook) lua_sethook(m_state, &CLua::CountHook, LUA_MASKCOUNT, kHookInterval);
}

// Runs protected: a "__gc" metamethod that the collection calls may raise an error.
int CLua::CollectAll(lua_State* L) {
    lua_gc(L, LUA_GCCOLLECT, 0);
    return 0;
}

void CLua::EndRun() {
    if (m_runDepth > 0) --m_runDepth;
    // Lua 5.1 collects only in steps before it allocates: after a call that filled the
    // state with garbage up to the cap, every allocation would fail until enough steps had
    // run. The garbage goes now, so that the next call starts with it gone. The protected
    // call needs a little memory of its own (a closure), above the cap for once.
    if (m_runDepth == 0 && m_capReached) {
        m_capReached = false;
        const size_t limit = m_memoryLimit;
        if (limit != 0) m_memoryLimit = limit + kCollectHeadroom;
        lua_cpcall(m_state, &CLua::CollectAll, nullptr);
        m_memoryLimit = limit;
    }
}

CLua* CLua::HostOf(lua_State* L) {
    lua_pushlightuserdata(L, const_cast<char*>(&kHostKey));
    lua_rawget(L, LUA_REGISTRYINDEX);
    CLua* self = static_cast<CLua*>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    return self;
}

// Nothing in this frame has a destructor: lua_error leaves it by a long jump.
void CLua::RaiseStop(lua_State* L, EStop stop) {
    // From now on at every instruction, so that a pcall catching the error cannot keep
    // the call alive: the next instruction outside it fails again. The caller reports
    // the stop in its own words (TakeError), whatever error reaches it. A hook that someone
    // else put in (a test's own instruction limit) is left alone.
    if (lua_gethook(L) == &CLua::CountHook) lua_sethook(L, &CLua::CountHook, LUA_MASKCOUNT, 1);
    lua_pushstring(L, stop == kStopClose ? "close requested" : "run limit");
    lua_error(L);
}

void CLua::CountHook(lua_State* L, lua_Debug*) { StopPending(L); }

void CLua::StopPending(lua_State* L) {
    CLua* self = HostOf(L);
    if (!self) return;
    const EStop stop = self->CheckStop(true);
    if (stop != kStopNone) RaiseStop(L, stop);
}

void CLua::TakeError() {
    size_t length = 0;
    // A stopped call says why it was stopped, whatever error value reached the top (a
    // refused allocation says "not enough memory", a coroutine adds its place).
    if (m_stop != kStopNone) {
        m_lastError = m_stop == kStopClose ? CloseText() : RunLimitText();
        lua_pop(m_state, 1);
        return;
    }
    // Only strings and numbers have a text; other error values are named by their type,
    // as the stand-alone interpreter does. A number is formatted here as Lua would, so
    // that no allocation happens outside a protected call.
    if (lua_type(m_state, -1) == LUA_TSTRING) {
        const char* text = lua_tolstring(m_state, -1, &length);
        m_lastError.assign(text, length);
    } else if (lua_type(m_state, -1) == LUA_TNUMBER) {
        char text[64];
        std::snprintf(text, sizeof text, LUA_NUMBER_FMT, lua_tonumber(m_state, -1));
        m_lastError = text;
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
