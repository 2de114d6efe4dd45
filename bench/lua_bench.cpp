// Lua host and global save data: the per-frame handler call, host methods, and writing
// and reading "saveg.dat" with a large game's worth of global data.
#include <benchmark/benchmark.h>

#include <optional>
#include <string>

#include <lua.hpp>

#include "Application/PlatformServicesScope.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CLogWindow.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/HeadlessFileSystem.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruLua.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CSaveData.h"

using namespace kestrin;

namespace {

CMainScript& Script() {
    static CMainScript* script = [] {
        CLogWindow::SetLineSink([](const std::string&) {});
        auto* s = new CMainScript(nullptr);
        s->GetLua().DoString(
            "frames = 0\n"
            "function frame(o) frames = frames + 1 end\n"
            "function methods(o) local v = o:var('f.a + 1') local d = o:isDown(13) local s = o:getScriptStatus() end\n"
            "function withTable(o, t) local x = t.a end\n");
        return s;
    }();
    return *script;
}

// An empty handler call: the cost the interpreter pays each frame for "onEnterFrame".
void BM_LuaHandlerCall(benchmark::State& state) {
    COruLua& lua = Script().GetLua();
    for (auto _ : state) benchmark::DoNotOptimize(lua.CallFunction("frame"));
}
BENCHMARK(BM_LuaHandlerCall);

// A handler calling three host methods.
void BM_LuaHostMethods(benchmark::State& state) {
    COruLua& lua = Script().GetLua();
    for (auto _ : state) benchmark::DoNotOptimize(lua.CallFunction("methods"));
}
BENCHMARK(BM_LuaHostMethods);

// "calllua" with five attributes.
void BM_LuaCallWithTable(benchmark::State& state) {
    COruLua& lua = Script().GetLua();
    std::map<std::string, std::string> table = {
        {"function", "withTable"}, {"a", "1"}, {"b", "two"}, {"c", "3"}, {"d", "four"}};
    for (auto _ : state) benchmark::DoNotOptimize(lua.CallFunctionWithTable("withTable", table));
}
BENCHMARK(BM_LuaCallWithTable);

// Lua code that allocates: a table of 1000 short strings made and dropped, on the engine's
// state (whose allocator keeps the memory cap and looks at the run limit and close
// requests) and on a bare state with Lua's own allocator.
const char kAllocating[] = "local t = {} for i = 1, 1000 do t[i] = 'k' .. i end";

void BM_LuaAllocatingEngineState(benchmark::State& state) {
    COruLua& lua = Script().GetLua();
    for (auto _ : state) benchmark::DoNotOptimize(lua.DoString(kAllocating));
}
BENCHMARK(BM_LuaAllocatingEngineState)->Unit(benchmark::kMicrosecond);

void BM_LuaAllocatingBareState(benchmark::State& state) {
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    for (auto _ : state) benchmark::DoNotOptimize(luaL_dostring(L, kAllocating));
    lua_close(L);
}
BENCHMARK(BM_LuaAllocatingBareState)->Unit(benchmark::kMicrosecond);

// The string library's pattern functions over a 14 KB text: captures, sets, a frontier,
// balanced parentheses, anchors and a lazy match that backtracks at every character, with
// string, table and function replacements. On the engine's state (the engine's own
// matcher, which also looks at the run limit) and on a bare state with Lua's own.
const char kPatternText[] =
    "text = string.rep('name = value; other=thing (nested (parens)) 12345 the quick brown fox\\n', 200)\n"
    "words = {the = 'THE', fox = 'FOX'}\n";
const char kPatterns[] =
    "local n = 0\n"
    "for k, v in string.gmatch(text, '(%w+)%s*=%s*(%w+)') do n = n + #k end\n"
    "for p in string.gmatch(text, '%b()') do n = n + #p end\n"
    "local s = string.gsub(text, '(%a+)', '<%1>')\n"
    "s = string.gsub(text, '%f[%a]%a+', words)\n"
    "s = string.gsub(text, '%d+', function(d) return #d end)\n"
    "local a = string.find(text, 'fox\\n$')\n"
    "local m = string.match(text, '^%s*(.-)%s*$')\n"
    "a = string.find(text, '[^%w%s%p]')\n";

void BM_LuaPatternsEngineState(benchmark::State& state) {
    COruLua& lua = Script().GetLua();
    if (lua.DoString(kPatternText) || lua.DoString(kPatterns)) state.SkipWithError(lua.GetLastError().c_str());
    for (auto _ : state) benchmark::DoNotOptimize(lua.DoString(kPatterns));
}
BENCHMARK(BM_LuaPatternsEngineState)->Unit(benchmark::kMicrosecond);

void BM_LuaPatternsBareState(benchmark::State& state) {
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    if (luaL_dostring(L, kPatternText) || luaL_dostring(L, kPatterns)) state.SkipWithError("the chunk failed");
    for (auto _ : state) benchmark::DoNotOptimize(luaL_dostring(L, kPatterns));
    lua_close(L);
}
BENCHMARK(BM_LuaPatternsBareState)->Unit(benchmark::kMicrosecond);

// Global data of a large game: state.range(0) "g." variables and 20 script files of
// 2000 executed blocks each, written to and read from an in-memory file system.
void FillGlobals(CMainScript& script, int variables) {
    for (int i = 0; i < variables; ++i)
        script.GetVariables().SetString("g.flag" + std::to_string(i), std::to_string(i));
    for (int f = 0; f < 20; ++f) {
        auto& blocks = script.GetReadBlocks()["scenario" + std::to_string(f) + ".iet"];
        for (int b = 0; b < 2000; ++b) blocks.insert(b);
    }
}

void BM_SaveGlobal(benchmark::State& state) {
    HeadlessFileSystem fake;
    fake.AddDirectory("saves");
    SPlatformServices services = PlatformServicesInEffect();
    services.fileSystem = Unowned(fake);
    std::optional<PlatformServicesScope> scope(std::in_place, services);
    CDynamicVariables::GetInstance()->SetString("SaveDataPath", "saves");
    CMainScript script(nullptr);
    FillGlobals(script, static_cast<int>(state.range(0)));
    for (auto _ : state) script.GetSaveData().SaveGlobal(true);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(fake.Contents("saves/saveg.dat").size()));
    scope.reset();
    ClearGamePathCache();
}
BENCHMARK(BM_SaveGlobal)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_LoadGlobal(benchmark::State& state) {
    HeadlessFileSystem fake;
    fake.AddDirectory("saves");
    SPlatformServices services = PlatformServicesInEffect();
    services.fileSystem = Unowned(fake);
    std::optional<PlatformServicesScope> scope(std::in_place, services);
    CDynamicVariables::GetInstance()->SetString("SaveDataPath", "saves");
    CMainScript script(nullptr);
    FillGlobals(script, static_cast<int>(state.range(0)));
    script.GetSaveData().SaveGlobal(true);
    for (auto _ : state) benchmark::DoNotOptimize(script.GetSaveData().Load("saveg.dat", CSaveData::kTypeGlobal));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(fake.Contents("saves/saveg.dat").size()));
    scope.reset();
    ClearGamePathCache();
}
BENCHMARK(BM_LoadGlobal)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace
