// Lua code from the input calls the host's methods with whatever arguments it makes:
// no crash, no read out of bounds, no leak, and no Lua error (memory errors included)
// escaping through C++ frames.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include <lua.hpp>

#include "Application/PlatformServicesScope.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CLogWindow.h"
#include "CORE/Platform/HeadlessFileSystem.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruLua.h"

namespace {

// Ends runaway input (loops) after a fixed number of instructions.
void StopRunaway(lua_State* L, lua_Debug*) { luaL_error(L, "instruction limit"); }

// The names of the globals that the state starts with.
std::set<std::string>& StartGlobals() {
    static std::set<std::string> names;
    return names;
}

// Clears every global that an input made, so that what one input keeps cannot fill the
// capped memory for all that follow. Clearing fields while walking the table is allowed,
// and allocates nothing.
void ClearNewGlobals(lua_State* L, bool remember) {
    lua_pushnil(L);
    while (lua_next(L, LUA_GLOBALSINDEX) != 0) {
        lua_pop(L, 1);
        size_t length = 0;
        const char* name = lua_type(L, -1) == LUA_TSTRING ? lua_tolstring(L, -1, &length) : nullptr;
        if (remember) {
            if (name) StartGlobals().insert(std::string(name, length));
        } else if (!name || !StartGlobals().count(std::string(name, length))) {
            lua_pushvalue(L, -1);
            lua_pushnil(L);
            lua_rawset(L, LUA_GLOBALSINDEX);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kestrin::CMainScript* script = [] {
        kestrin::CLogWindow::SetLineSink([](const std::string&) {});
        // Tags run from Lua may load scripts and write the global data: all in memory.
        auto files = std::make_shared<kestrin::HeadlessFileSystem>();
        files->AddFile("main.iet", "*start\n[exit]\n");
        kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
        services.fileSystem = files;
        static kestrin::PlatformServicesScope scope(services);
        auto* s = new kestrin::CMainScript(nullptr);
        s->SetDebugMode(1);
        lua_State* L = s->GetLua().GetState();
        // What could block or touch files is not needed here. Memory is capped low, so that
        // inputs reach Lua's memory error (inside host methods too) quickly.
        s->GetLua().SetMemoryLimit(8 << 20);
        s->GetLua().DoString(
            "os = nil io = nil loadfile = nil dofile = nil require = nil package = nil "
            "collectgarbage = nil");
        lua_sethook(L, StopRunaway, LUA_MASKCOUNT, 100000);
        ClearNewGlobals(L, true);
        return s;
    }();
    std::string body(reinterpret_cast<const char*>(data), size);
    kestrin::COruLua& lua = script->GetLua();
    if (!lua.DoString("function t(o)\n" + body + "\nend")) lua.CallFunction("t");
    for (int which = 0; which < 3; ++which) script->GetLuaHandlerName(which).clear();
    script->GetCallStack().clear();
    script->GetCaret() = kestrin::CMainScript::CCaret();
    ClearNewGlobals(lua.GetState(), false);
    return 0;
}
