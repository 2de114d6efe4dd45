// Lua code from the input calls the host's methods with whatever arguments it makes:
// no crash, no read out of bounds, and no Lua error escaping through C++ frames.
#include <cstddef>
#include <cstdint>
#include <string>

#include <lua.hpp>

#include "CORE/CDynamicVariables.h"
#include "CORE/CLogWindow.h"
#include "CORE/Platform/FakeFileSystem.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruLua.h"

namespace {

// Ends runaway input (loops) after a fixed number of instructions.
void StopRunaway(lua_State* L, lua_Debug*) { luaL_error(L, "instruction limit"); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kestrin::CMainScript* script = [] {
        kestrin::CLogWindow::SetLineSink([](const std::string&) {});
        // Tags run from Lua may load scripts and write the global data: all in memory.
        auto* files = new kestrin::FakeFileSystem();
        files->AddFile("main.iet", "*start\n[exit]\n");
        kestrin::SetFileSystem(files);
        auto* s = new kestrin::CMainScript(nullptr);
        s->SetDebugMode(1);
        lua_State* L = s->GetLua().GetState();
        // What could block, touch files or take the memory of the machine is not needed here.
        s->GetLua().DoString("os = nil io = nil loadfile = nil dofile = nil require = nil package = nil "
                             "string.rep = nil collectgarbage = nil");
        lua_sethook(L, StopRunaway, LUA_MASKCOUNT, 100000);
        return s;
    }();
    std::string body(reinterpret_cast<const char*>(data), size);
    kestrin::COruLua& lua = script->GetLua();
    if (!lua.DoString("function t(o)\n" + body + "\nend")) lua.CallFunction("t");
    for (int which = 0; which < 3; ++which) script->GetLuaHandlerName(which).clear();
    script->GetCallStack().clear();
    script->GetCaret() = kestrin::CMainScript::CCaret();
    return 0;
}
