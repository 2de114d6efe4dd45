// The Lua host: the seventeen methods seen from Lua, wrong arguments, and calls into Lua.
#include "SCRIPT/COruLua.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <lua.hpp>

#include "Application/PlatformServicesScope.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CInput.h"
#include "CORE/Platform/HeadlessClock.h"
#include "CORE/Platform/HeadlessCloseSignals.h"
#include "CORE/CLogWindow.h"
#include "CORE/Platform/HeadlessWindowSystem.h"
#include "CORE/WindowMessages.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "support/InterpreterFixture.h"
#include "support/TestSupport.h"

using kestrin::CDynamicVariables;
using kestrin::CMainScript;
using kestrin::COruLua;
using kestrin::CScriptBlock;

namespace {

class LuaHostTest : public kestrin_test::InterpreterFixture {
protected:
    void SetUp() override {
        InterpreterFixture::SetUp();
        CDynamicVariables::GetInstance()->SetString("SaveDataPath", m_dir.Path());
        UseFakeInput();
        m_dir.Write("main.iet", "*start\n[nosuchtag]\n[return]\n");
        m_script.reset(new CMainScript(nullptr));
        ASSERT_FALSE(m_script->Start());
        m_script->SetDebugMode(1);
    }

    COruLua& Lua() { return m_script->GetLua(); }
    // Defines t(o) with the body and calls it with the host; true when the call failed.
    bool Run(const std::string& body) {
        EXPECT_FALSE(Lua().DoString("function t(o)\n" + body + "\nend")) << Lua().GetLastError();
        return Lua().CallFunction("t");
    }
    // Runs a Lua assertion; empty when it holds, else the error text.
    std::string Check(const std::string& condition) {
        if (!Lua().DoString("assert(" + condition + ")")) return "";
        return Lua().GetLastError();
    }
};

TEST_F(LuaHostTest, WrongArgumentsSetTheErrorTextTraceItAndLetLuaGoOn) {
    struct Case {
        const char* call;
        const char* error;
        const char* result;  // what the call returns, as a Lua condition on r
    };
    const Case cases[] = {
        {"o:isPush('a')", "Lua: isPushメソャhの引数が不正です。", "r == nil"},
        {"o:isDown({})", "Lua: isDownメソャhの引数が不正です。", "r == nil"},
        {"o:isDownEdge()", "Lua: isDownEdgeメソャhの引数が不正です。", "r == nil"},
        {"o:isUpEdge(true)", "Lua: isUpEdgeメソャhの引数が不正です。", "r == nil"},
        {"o:isDecide('13')", "Lua: isDecideメソャhの引数が不正です。", "r == nil"},
        {"o:debug(12)", "Lua: debugメソャhの引数が不正です。", "r == nil"},
        {"o:tag(5)", "Lua: tagメソャhの引数が不正です。", "r == nil"},
        {"o:var({})", "Lua: varメソャhの引数が不正です。", "r == nil"},
        {"o:setScriptStatus('1')", "Lua: setScriptStatusメソャhの引数が不正です。", "r == nil"},
        {"o:setScriptStack('x')", "Lua: setScriptStackメソャhの引数が不正です。", "r == nil"},
        {"o:getScriptBlock(1)", "Lua: getScriptBlockメソャhの引数が不正です。",
         "type(r) == 'table' and next(r) == nil"},
        {"o:setEventHandler('f')", "Lua: setEventHandlerメソャhの引数が不正です。", "r == nil"},
    };
    for (const auto& c : cases) {
        m_lines.clear();
        Lua().SetLastError("");
        EXPECT_FALSE(Run(std::string("went_on = false\nr = ") + c.call + "\nwent_on = true")) << c.call;
        EXPECT_EQ(Lua().GetLastError(), c.error) << c.call;
        EXPECT_EQ(Check(std::string("went_on and (") + c.result + ")"), "") << c.call;
        EXPECT_TRUE(LoggedWithin(c.error)) << c.call;
    }
}

TEST_F(LuaHostTest, TheClassHasItsSeventeenMethods) {
    const char* names =
        "'debug', 'random', 'var', 'tag', 'getScriptStatus', 'setScriptStatus', 'getScriptStack', "
        "'setScriptStack', 'getScriptBlock', 'setEventHandler', 'isPush', 'isDown', 'isDownEdge', "
        "'isUpEdge', 'isDecide', 'getMousePoint', 'now'";
    EXPECT_FALSE(Run(std::string("count = 0\nfor _, name in ipairs{") + names +
                     "} do\n"
                     "  if type(o[name]) == 'function' then count = count + 1 end\nend\n"
                     "all = 0\nfor _ in pairs(debug.getmetatable(o).__index) do all = all + 1 end"));
    EXPECT_EQ(Check("count == 17 and all == 17"), "");
}

// Lua that never returns is stopped after the run limit, measured on the wall clock (a
// virtual one here, which moves on each time it is read), and the game goes on.
TEST_F(LuaHostTest, LuaThatNeverReturnsIsStoppedAndTheGameGoesOn) {
    auto clock = std::make_shared<kestrin::HeadlessClock>();
    clock->SetOnRead([](kestrin::HeadlessClock& c) { c.Advance(1000); });
    kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
    services.wallClock = clock;
    kestrin::PlatformServicesScope scope(services);
    ASSERT_FALSE(scope.Failed());
    EXPECT_EQ(Lua().GetRunLimit(), kestrin::CLua::kDefaultRunLimitMs);
    const std::string stopped = "5000 ms を超えて実行されたため、中断しました。";
    struct Case {
        const char* function;  // body of f(o)
        const char* how;       // how it is called: "frame" (onEnterFrame) or "tag" (calllua)
    };
    const Case cases[] = {
        {"while true do end", "frame"},
        {"while true do pcall(function() while true do end end) end", "frame"},
        {"local c = coroutine.wrap(function() while true do end end) c()", "frame"},
        {"while true do end", "tag"},
    };
    for (const auto& c : cases) {
        m_lines.clear();
        ASSERT_FALSE(Lua().DoString(std::string("function f(o) ") + c.function + " end"));
        if (std::string(c.how) == "frame") {
            m_script->GetLuaHandlerName(CMainScript::LUA_ENTERFRAME) = "f";
            m_script->Update(16);
            // A coroutine passes the error on with its place in front.
            bool traced = false;
            for (const auto& line : m_lines) {
                traced |=
                    line.rfind("[Lua] OnEnterFrame -> f(): ", 0) == 0 &&
                    line.compare(line.size() - std::min(line.size(), stopped.size()), std::string::npos, stopped) == 0;
            }
            EXPECT_TRUE(traced) << c.function << "\n" << AllLines();
            EXPECT_EQ(m_script->GetLuaHandlerName(CMainScript::LUA_ENTERFRAME), "");
        } else {
            CScriptBlock block(CScriptBlock::kTag, 7, "calllua");
            block.SetAttribute("function", "f");
            m_script->ExecuteBlock(block, false);
            EXPECT_TRUE(LoggedWithin("(7): [Lua] " + stopped)) << AllLines();
        }
        // The next call has its own time again.
        EXPECT_FALSE(Lua().DoString("x = 0 for i = 1, 1000 do x = x + i end")) << c.function;
    }
    // The frame went on after the stopped handler: the script's unknown tag ran.
    m_lines.clear();
    m_script->GetCaret() = CMainScript::CCaret();
    m_script->GetCaret().file = "main.iet";
    ASSERT_FALSE(Lua().DoString("function f(o) while true do end end"));
    m_script->GetLuaHandlerName(CMainScript::LUA_ENTERFRAME) = "f";
    m_script->Update(32);
    EXPECT_TRUE(LoggedWithin("[nosuchtag] 未知のタグ、または未定義のマクロです。")) << AllLines();

    // A "lua" block that never ends is stopped when its file loads, and loading goes on.
    m_dir.Write("spin.iet", "[lua]\nwhile true do end\n[/lua]\n*here\n");
    EXPECT_FALSE(m_script->Jump("spin", "here"));
    EXPECT_TRUE(LoggedWithin("spin.iet(3): [Lua] " + stopped)) << AllLines();
}

// A tag run from Lua may call Lua again; the outer call still returns nothing of its own.
TEST_F(LuaHostTest, TagsRunFromLuaMayCallLuaAgain) {
    EXPECT_FALSE(Lua().DoString("function inner(o, t) innerValue = o:var('40 + 2') .. t.x end"));
    EXPECT_FALSE(Run("r = o:tag{'calllua', ['function'] = 'inner', x = 'y'}\nafter = true"));
    EXPECT_EQ(Check("innerValue == '42y' and r == nil and after"), "");
}

TEST_F(LuaHostTest, KeyNumbersOutsideTheKeyRangeReadAsNotPressed) {
    m_windows->SetKeyDown(65, true);
    kestrin::CInput::GetInstance()->Update(16);
    EXPECT_FALSE(
        Run("a = o:isDown(65)\nb = o:isDown(65.7)\nc = o:isDown(65 + 256)\nd = o:isDown(-191)\n"
            "e = o:isDown(0/0)\nf = o:isDown(1e300)\ng = o:isDown(-1e300)\nh = o:isPush(65)"));
    EXPECT_EQ(Check("a == true and b == true and h == true"), "");
    EXPECT_EQ(Check("c == false and d == false and e == false and f == false and g == false"), "");
}

TEST_F(LuaHostTest, NumbersBecomeClampedIntegers) {
    EXPECT_FALSE(Run("o:setScriptStatus(0/0)"));
    EXPECT_EQ(m_script->GetCaret().GetStatus(), 0);
    EXPECT_FALSE(Run("o:setScriptStatus(1e300)"));
    EXPECT_EQ(m_script->GetCaret().GetStatus(), INT32_MAX);
    EXPECT_EQ(m_script->GetCaret().previousStatus, 0);
    EXPECT_FALSE(Run("o:setScriptStatus(-1e300)"));
    EXPECT_EQ(m_script->GetCaret().GetStatus(), INT32_MIN);
    EXPECT_FALSE(Run("o:setScriptStatus(3.9)\ns = o:getScriptStatus()"));
    EXPECT_EQ(Check("s == 3"), "");

    m_lines.clear();
    EXPECT_FALSE(Run("o:tag{'nosuchtag', big = 1e300, nan = 0/0, small = -2.5}"));
    EXPECT_TRUE(LoggedWithin("nosuchtag big=\"2147483647\" nan=\"0\" small=\"-2\"")) << m_lines.size();
}

TEST_F(LuaHostTest, TagBuildsABlockFromAStringOrATable) {
    EXPECT_FALSE(Run("o:tag{'nosuchtag', n = 10, s = 'x', [2] = 'ignored', flag = true}"));
    EXPECT_TRUE(LoggedWithin("(0): nosuchtag n=\"10\" s=\"x\""));
    EXPECT_TRUE(LoggedWithin("(0): [nosuchtag] 未知のタグ、または未定義のマクロです。"));
    m_lines.clear();
    EXPECT_FALSE(Run("o:tag('othertag')"));
    EXPECT_TRUE(LoggedWithin("(0): [othertag] 未知のタグ、または未定義のマクロです。"));
}

TEST_F(LuaHostTest, ScriptStackCountsFromZeroWithTheCaretLast) {
    CMainScript::CCaret first;
    first.file = "a.iet";
    first.index = 3;
    CMainScript::CCaret second;
    second.file = "b.iet";
    second.index = 7;
    m_script->GetCallStack().push_back(first);
    m_script->GetCallStack().push_back(second);
    m_script->GetCaret().index = 2;
    EXPECT_FALSE(Run("s = o:getScriptStack()"));
    EXPECT_EQ(Check("#s == 2 and s[0].file == 'a.iet' and s[0].index == 3 and s[1].file == 'b.iet'"), "");
    EXPECT_EQ(Check("s[2].file == 'main.iet' and s[2].index == 2 and s[3] == nil"), "");
    m_script->GetCallStack().clear();
    EXPECT_FALSE(Run("s = o:getScriptStack()"));
    EXPECT_EQ(Check("s[0].file == 'main.iet' and s[1] == nil"), "");
}

TEST_F(LuaHostTest, SetScriptStackMovesTheCaretAndRefusesNegativeIndexes) {
    EXPECT_FALSE(Run("o:setScriptStack{file = 'other.iet', index = 4}"));
    EXPECT_EQ(m_script->GetCaret().file, "other.iet");
    EXPECT_EQ(m_script->GetCaret().index, 4);
    EXPECT_FALSE(Run("o:setScriptStack{index = 1}"));
    EXPECT_EQ(m_script->GetCaret().file, "other.iet");
    EXPECT_EQ(m_script->GetCaret().index, 1);

    for (const char* bad : {"{file = 'x.iet', index = -1}", "{index = 0/0}"}) {
        Lua().SetLastError("");
        EXPECT_FALSE(Run(std::string("o:setScriptStack") + bad));
        EXPECT_EQ(Lua().GetLastError(), "Lua: setScriptStackメソャhの引数が不正です。") << bad;
        EXPECT_EQ(m_script->GetCaret().file, "other.iet") << bad;
        EXPECT_EQ(m_script->GetCaret().index, 1) << bad;
    }
}

TEST_F(LuaHostTest, GetScriptBlockReadsLoadedScriptsOnly) {
    EXPECT_FALSE(Run("b = o:getScriptBlock{file = 'main.iet', index = 1}"));
    EXPECT_EQ(Check("b.type == 2 and b.line == 2 and b.command == 'nosuchtag' and next(b.parameter) == nil"), "");
    EXPECT_FALSE(Run("b = o:getScriptBlock{file = 'main.iet'}"));
    EXPECT_EQ(Check("b.type == 1 and b.command == 'start'"), "");

    const char* notFound = "Lua: getScriptBlockメソャhの引数が不正です。指定されたブロックは見つかりません。";
    for (const char* where :
         {"{file = 'main.iet', index = 3}", "{file = 'main.iet', index = -1}", "{file = 'unloaded.iet', index = 0}",
          "{index = 0}", "{file = 'main.iet', index = 0/0}"}) {
        Lua().SetLastError("");
        EXPECT_FALSE(Run(std::string("b = o:getScriptBlock") + where));
        EXPECT_EQ(Check("type(b) == 'table' and next(b) == nil"), "") << where;
        EXPECT_EQ(Lua().GetLastError(), notFound) << where;
    }
}

TEST_F(LuaHostTest, SetEventHandlerNamesTheThreeHandlers) {
    EXPECT_FALSE(
        Run("o:setEventHandler{onEnterFrame = 'f', onClickWaitIn = 'i', onClickWaitOut = 'u', other = 'x', "
            "[1] = 'y', onClickWait = 5}"));
    EXPECT_EQ(m_script->GetLuaHandlerName(CMainScript::LUA_ENTERFRAME), "f");
    EXPECT_EQ(m_script->GetLuaHandlerName(CMainScript::LUA_CLICKWAITIN), "i");
    EXPECT_EQ(m_script->GetLuaHandlerName(CMainScript::LUA_CLICKWAITOUT), "u");
    EXPECT_FALSE(Run("o:setEventHandler{onClickWait = 'w', onEnterFrame = ''}"));
    EXPECT_EQ(m_script->GetLuaHandlerName(CMainScript::LUA_CLICKWAITIN), "w");
    EXPECT_EQ(m_script->GetLuaHandlerName(CMainScript::LUA_ENTERFRAME), "");
}

TEST_F(LuaHostTest, ValuesReadByLua) {
    m_script->GetVariables().SetInt("f.a", 40);
    EXPECT_FALSE(Run(
        "v = o:var('f.a + 2')\nn = o:now()\np = o:getMousePoint()\n"
        "lo, hi = 65535, 0\nfor i = 1, 2000 do local r = o:random() lo = math.min(lo, r) hi = math.max(hi, r) end"));
    EXPECT_EQ(Check("v == '42' and type(n) == 'number' and type(p.x) == 'number' and type(p.y) == 'number'"), "");
    EXPECT_EQ(Check("lo >= 0 and hi <= 65535 and hi > lo"), "");
    EXPECT_FALSE(Run("o:debug('hello')"));
    EXPECT_TRUE(LoggedWithin("Lua: hello"));
}

TEST_F(LuaHostTest, ObjectsMadeInLuaHaveNoInterpreter) {
    EXPECT_FALSE(
        Run("local x = COruLua()\nv = x:var('1')\nn = x:now()\ns = x:getScriptStack()\n"
            "w = o.var('1')\nz = o.isDown(o, 65)\nmt = getmetatable(o)"));
    EXPECT_EQ(Check("v == nil and type(n) == 'number' and s == nil and w == nil and z == false"), "");
    EXPECT_EQ(Check("mt == 'COruLua'"), "");
}

TEST_F(LuaHostTest, CallsReportLuaErrorsAsTheLastError) {
    EXPECT_TRUE(Lua().CallFunction("missing"));
    EXPECT_EQ(Lua().GetLastError(), "attempt to call a nil value");
    EXPECT_TRUE(Run("error({})"));
    EXPECT_EQ(Lua().GetLastError(), "(error object is a table value)");
    EXPECT_TRUE(Run("error('boom', 0)"));
    EXPECT_EQ(Lua().GetLastError(), "boom");
    EXPECT_TRUE(Run("error(2.5, 0)"));
    EXPECT_EQ(Lua().GetLastError(), "2.5");
    EXPECT_TRUE(Lua().DoString("x = = 1"));
    EXPECT_EQ(Lua().GetLastError(), "[string \"x = = 1\"]:1: unexpected symbol near '='");

    EXPECT_FALSE(Lua().DoString("function g(o, args) seen = args['function'] .. args.x .. tostring(o ~= nil) end"));
    EXPECT_FALSE(Lua().CallFunctionWithTable("g", {{"function", "g"}, {"x", "1"}}));
    EXPECT_EQ(Check("seen == 'g1true'"), "");
    // The stack is left as it was.
    EXPECT_EQ(lua_gettop(Lua().GetState()), 0);
}

// Lua that allocates without end inside one C call (where the count hook never fires) or
// in a loop fails with Lua's memory error at the cap; the state is whole afterwards and
// the frame goes on. The wall clock stands still: only the cap can stop these.
TEST_F(LuaHostTest, AllocationPastTheMemoryCapFailsAndTheGameGoesOn) {
    kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
    services.wallClock = std::make_shared<kestrin::HeadlessClock>();
    kestrin::PlatformServicesScope scope(services);
    ASSERT_FALSE(scope.Failed());
    EXPECT_EQ(Lua().GetMemoryLimit(), size_t(256) << 20);
    Lua().SetMemoryLimit(16 << 20);
    ASSERT_FALSE(Lua().DoString("collectgarbage()"));
    const size_t before = Lua().GetMemoryUsed();
    const char* bodies[] = {
        "string.rep('x', 2^30)",
        "local s = 'x' while true do s = s .. s end",
        "local t = {} for i = 1, 2^30 do t[i] = i end",
        "local t = {} while true do t[#t + 1] = {tostring(#t)} end",
        "local c = coroutine.wrap(function() local s = 'x' while true do s = s .. s end end) c()",
    };
    for (const char* body : bodies) {
        EXPECT_TRUE(Run(body)) << body;
        EXPECT_NE(Lua().GetLastError().find("not enough memory"), std::string::npos)
            << body << ": " << Lua().GetLastError();
        EXPECT_LE(Lua().GetMemoryUsed(), Lua().GetMemoryLimit()) << body;
        // Everything the call made is garbage, and the state works as before.
        // Each collection halves the buffers Lua keeps for concatenation and its string table.
        EXPECT_FALSE(Lua().DoString("for i = 1, 20 do collectgarbage() end")) << body;
        EXPECT_LT(Lua().GetMemoryUsed(), before + (256 << 10)) << body;
        EXPECT_FALSE(Lua().DoString("ok, e = pcall(string.rep, 'x', 2^30) s = ('y'):rep(1000)")) << body;
        EXPECT_EQ(Check("not ok and e == 'not enough memory' and #s == 1000"), "") << body;
    }

    // As a frame handler: reported, and the script's next block runs in the same frame.
    m_lines.clear();
    m_script->GetCaret() = CMainScript::CCaret();
    m_script->GetCaret().file = "main.iet";
    ASSERT_FALSE(Lua().DoString("function f(o) local s = 'x' while true do s = s .. s end end"));
    m_script->GetLuaHandlerName(CMainScript::LUA_ENTERFRAME) = "f";
    m_script->Update(16);
    EXPECT_TRUE(Logged("[Lua] OnEnterFrame -> f(): not enough memory")) << AllLines();
    EXPECT_TRUE(LoggedWithin("[nosuchtag] 未知のタグ、または未定義のマクロです。")) << AllLines();
}

// A close request (SIGTERM) pending while Lua runs ends the call at its next allocation or
// hook check, with its own text, and stays pending for the main loop to take.
TEST_F(LuaHostTest, ACloseRequestEndsTheRunningCall) {
    kestrin::HeadlessCloseSignals signals;
    kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
    services.wallClock = std::make_shared<kestrin::HeadlessClock>();
    services.closeSignals = kestrin::Unowned(signals);
    kestrin::PlatformServicesScope scope(services);
    ASSERT_FALSE(scope.Failed());
    const char* bodies[] = {
        "string.rep('x', 2^30)",
        "local n = 0 while true do n = n + #(tostring(n) .. 'x') end",
        "while true do end",
        "while true do pcall(string.rep, 'x', 2^20) end",
    };
    for (const char* body : bodies) {
        ASSERT_FALSE(Lua().DoString(std::string("function t(o) ") + body + " end")) << body;
        signals.Raise();
        EXPECT_TRUE(Lua().CallFunction("t")) << body;
        EXPECT_EQ(Lua().GetLastError(), "終了が要求されたため、中断しました。") << body;
        EXPECT_TRUE(signals.HasRequest()) << body;
        EXPECT_EQ(signals.taken, 0) << body;
        // Once the loop has taken the request, Lua runs as before.
        EXPECT_TRUE(signals.TakeRequest());
        EXPECT_FALSE(Run("s = ('y'):rep(1000)")) << Lua().GetLastError();
        signals.taken = 0;
    }
}

}  // namespace
