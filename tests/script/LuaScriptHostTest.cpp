// The Lua host object on its own, with a fake interpreter: what its methods ask of the
// interpreter goes through ILuaScriptHost, and its error texts go out through the host's
// engine texts and trace.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "SCRIPT/COruLua.h"
#include "SCRIPT/CScriptBlock.h"
#include "SCRIPT/CScriptBlockList.h"
#include "SCRIPT/CScriptState.h"
#include "SCRIPT/ILuaScriptHost.h"

using namespace kestrin;

namespace {

class FakeHost : public ILuaScriptHost {
public:
    void TraceLua(int level, const char* format, va_list args) override {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        traces.push_back(std::to_string(level) + ": " + text);
    }
    // Marks the engine's texts, so that a test sees which went through here.
    std::string EngineText(const char* utf8) const override { return std::string("<") + utf8 + ">"; }
    int DrawLuaRandom() override { return 4242; }
    void RunLuaTag(CScriptBlock block) override {
        tags.push_back(block.GetName() + " a=" + block.GetAttribute("a") + " b=" + block.GetAttribute("b"));
    }
    std::string EvaluateLuaExpression(const std::string& expression) override { return "value of " + expression; }
    CCaret& GetLuaCaret() override { return caret; }
    const std::deque<CCaret>& GetLuaCallStack() override { return callStack; }
    CScriptBlockList& GetLuaScriptBlocks(const std::string&) override { return noBlocks; }
    void SetLuaHandlerName(ELuaHandler which, const std::string& name) override {
        handlers.push_back(std::to_string(which) + "=" + name);
    }

    std::vector<std::string> traces;
    std::vector<std::string> tags;
    std::vector<std::string> handlers;
    CCaret caret;
    std::deque<CCaret> callStack;
    CScriptBlockList noBlocks;
};

class LuaScriptHost : public ::testing::Test {
protected:
    // Defines t(o) with the body and calls it with the host object; the error text, or empty.
    std::string Run(const std::string& body) {
        if (m_lua.DoString("function t(o)\n" + body + "\nend") || m_lua.CallFunction("t")) return m_lua.GetLastError();
        return "";
    }
    // A Lua assertion; the error text, or empty when it holds.
    std::string Check(const std::string& condition) {
        return m_lua.DoString("assert(" + condition + ")") ? m_lua.GetLastError() : "";
    }

    FakeHost m_host;
    COruLua m_lua{&m_host};
};

TEST_F(LuaScriptHost, TheMethodsReachTheInterpreterThroughTheHost) {
    CCaret outer;
    outer.file = "main.iet";
    outer.index = 7;
    m_host.callStack.push_back(outer);
    m_host.caret.file = "sub.iet";
    m_host.caret.index = 2;
    m_host.caret.SetStatus(4);
    ASSERT_EQ(Run("r = o:random()\nv = o:var('f.x')\no:debug('hello')\no:tag{'lyc', a = 5, b = 'x'}\n"
                  "s = o:getScriptStatus()\no:setScriptStatus(3)\nk = o:getScriptStack()\n"
                  "o:setScriptStack{file = 'other.iet', index = 9}\n"
                  "o:setEventHandler{onEnterFrame = 'f', onClickWaitOut = 'g'}"),
              "");
    EXPECT_EQ(Check("r == 4242 and v == 'value of f.x' and s == 4"), "");
    EXPECT_EQ(Check("k[0].file == 'main.iet' and k[0].index == 7 and k[1].file == 'sub.iet' and k[1].index == 2"), "");
    EXPECT_EQ(m_host.traces, std::vector<std::string>{"0: Lua: hello"});
    EXPECT_EQ(m_host.tags, std::vector<std::string>{"lyc a=5 b=x"});
    EXPECT_EQ(m_host.caret.GetStatus(), 3);
    EXPECT_EQ(m_host.caret.file, "other.iet");
    EXPECT_EQ(m_host.caret.index, 9);
    EXPECT_EQ(m_host.handlers, (std::vector<std::string>{"0=f", "2=g"}));
}

// A wrong argument and a missing block: Lua goes on, the host's engine text is the last error
// and the trace's line.
TEST_F(LuaScriptHost, ErrorsGoOutAsTheHostsEngineTextsAndTraces) {
    EXPECT_EQ(Run("o:setScriptStatus('1')"), "");
    EXPECT_EQ(m_lua.GetLastError(), "Lua: setScriptStatus<メソャhの引数が不正です。>");
    EXPECT_EQ(Run("b = o:getScriptBlock{file = 'none.iet', index = 0}"), "");
    const std::string notFound = "<Lua: getScriptBlockメソャhの引数が不正です。指定されたブロックは見つかりません。>";
    EXPECT_EQ(m_lua.GetLastError(), notFound);
    EXPECT_EQ(Check("type(b) == 'table' and next(b) == nil"), "");
    EXPECT_EQ(m_host.traces,
              (std::vector<std::string>{"1: Lua: setScriptStatus<メソャhの引数が不正です。>", "1: " + notFound}));
    EXPECT_EQ(m_host.caret.GetStatus(), 0);
}

}  // namespace
