// Flow, macro, var and debug tags run by the interpreter without a screen.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "CORE/CDynamicVariables.h"
#include "CORE/CLogWindow.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "support/InterpreterFixture.h"
#include "support/TestSupport.h"

using kestrin::CMainScript;

namespace {

class FlowTagsTest : public kestrin_test::InterpreterFixture {
protected:
    // Boots main.iet holding text, with the trace on at level 1 (errors only).
    void Run(const std::string& text, int frames = 1) {
        m_dir.Write("main.iet", text);
        m_script.reset(new CMainScript(nullptr));
        ASSERT_FALSE(m_script->Start());
        m_script->SetDebugMode(1);
        m_script->SetTraceLevel(1);
        Frames(frames);
    }
    void Frames(int count) {
        for (int i = 0; i < count; ++i) m_script->Update(m_now += 16);
    }
    std::string Var(const std::string& name) { return m_script->GetVariables().GetString(name); }
    bool Exists(const std::string& name) { return m_script->GetVariables().Find(name) != nullptr; }
};

TEST(TagAttributesTest, IntegersReadDecimalAndSaturate) {
    struct Case {
        const char* text;
        int32_t value;
        // clang-format off
    } cases[] = {{"", 0},          {"  42px", 42},           {"-17", -17},       {"+5", 5},
                 {"0x10", 0},      {"abc", 0},               {"- 3", 0},         {"2147483647", 2147483647},
                 {"99999999999", 2147483647}, {"-99999999999", INT32_MIN}, {"-2147483648", INT32_MIN}};
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(kestrin::ParseTagInt(c.text), c.value) << c.text;
}

TEST_F(FlowTagsTest, IfElseifElseTakeTheFirstTrueBranchAndPassNestedBlocksOver) {
    struct Case {
        const char* a;
        const char* b;
        const char* c;
        const char* expected;
    } cases[] = {{"1", "1", "1", "a"}, {"0", "1", "1", "b"}, {"0", "0", "1", "c"}, {"0", "0", "0", "e"}};
    for (const auto& c : cases) {
        Run(std::string("[if estimate=") + c.a + "]\n[var name=r data=a]\n" +
            "[if estimate=0][var name=bad data=1][else][var name=inner data=1][/if]\n"
            "[elseif estimate=" +
            c.b +
            "]\n[var name=r data=b]\n"
            "[if estimate=0][elseif estimate=1][var name=inner2 data=1][else][var name=bad data=2][/if]\n"
            "[elseif estimate=" +
            c.c +
            "]\n[var name=r data=c]\n"
            "[else]\n[if estimate=1][else][var name=bad data=3][/if]\n[var name=r data=e]\n[/if]\n"
            "[var name=after data=1]\n");
        EXPECT_EQ(Var("r"), c.expected) << c.a << c.b << c.c;
        EXPECT_EQ(Var("after"), "1");
        EXPECT_FALSE(Exists("bad")) << Var("bad");
        EXPECT_EQ(Exists("inner"), std::string(c.expected) == "a");
        EXPECT_EQ(Exists("inner2"), std::string(c.expected) == "b");
    }
}

TEST_F(FlowTagsTest, LongElseifChainsRunWithoutDeepening) {
    std::string text = "[var name=n data=5000]\n[if estimate=\"n==0\"]\n";
    for (int i = 1; i <= 5000; ++i)
        text += "[elseif estimate=\"$n==" + std::to_string(i) + "\"]\n[var name=r data=" + std::to_string(i) + "]\n";
    text += "[else]\n[var name=r data=none]\n[/if]\n[var name=done data=1]\n";
    Run(text);
    EXPECT_EQ(Var("r"), "5000");
    EXPECT_EQ(Var("done"), "1");
}

TEST_F(FlowTagsTest, AnIfWithoutItsEndSkipsToTheEndOfTheFile) {
    Run("[if estimate=0]\n[var name=bad data=1]\n");
    EXPECT_FALSE(Exists("bad"));
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_QUIT);
}

TEST_F(FlowTagsTest, LoopsReevaluateTheirEstimateAndNestedLoopsAreSkippedWhole) {
    Run("[var name=i data=0]\n[var name=inner data=0]\n"
        "[loop estimate=\"i<3\"]\n[var name=i data=\"$i+1\"]\n"
        "[var name=j data=0]\n[loop estimate=\"j<2\"]\n[var name=j data=\"$j+1\"]\n"
        "[var name=inner data=\"$inner+1\"]\n[/loop]\n[/loop]\n"
        "[loop estimate=0]\n[loop estimate=1]\n[/loop]\n[var name=bad data=1]\n[/loop]\n"
        "[var name=done data=1]\n");
    EXPECT_EQ(Var("i"), "3");
    EXPECT_EQ(Var("inner"), "6");
    EXPECT_EQ(Var("done"), "1");
    EXPECT_FALSE(Exists("bad"));
}

TEST_F(FlowTagsTest, ALoopEndWithoutItsLoopIsReportedAndPassed) {
    Run("[var name=a data=1]\n[/loop]\n[var name=b data=1]\n");
    EXPECT_EQ(Var("b"), "1");
    EXPECT_TRUE(Logged("main.iet(2): [/loop] 対応するloopタグが見つかりません。")) << AllLines();
}

TEST_F(FlowTagsTest, WaitStopsTheScriptUntilItsTimeHasPassed) {
    Run("[wait time=100]\n[var name=a data=1]\n[wait time=0]\n[var name=b data=1]\n");
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_WAIT);
    EXPECT_FALSE(Exists("a"));
    Frames(6);
    EXPECT_FALSE(Exists("a"));
    Frames(1);
    EXPECT_EQ(Var("a"), "1");
    // A wait of 0 ms still ends the frame and goes on in the next.
    EXPECT_FALSE(Exists("b"));
    Frames(1);
    EXPECT_EQ(Var("b"), "1");
}

TEST_F(FlowTagsTest, WaitForInputTwoDoesNothingWhileSkippingAndInputOneIsAClickWaitWithoutIcon) {
    Run("[wait time=100000 input=2]\n[var name=a data=1]\n[wait time=100000 input=1]\n[var name=b data=1]\n", 0);
    m_script->SetControlSkip(true, true);
    Frames(1);
    EXPECT_EQ(Var("a"), "1");
    EXPECT_FALSE(Exists("b"));
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_CLICK);
    EXPECT_TRUE(m_script->GetCaret().glyphShown);
}

TEST_F(FlowTagsTest, StopIsAPageWait) {
    Run("[stop]\n[var name=a data=1]\n");
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_STOP);
    EXPECT_FALSE(Exists("a"));
}

TEST_F(FlowTagsTest, TagBuildsTagsTextsAndLabelsFromCommaText) {
    Run("[tag data=\"var,name,x,data,12\"]\n"
        "[tag data=\"*,somewhere\"]\n"
        "[tag data=\"jump,label,far\"]\n"
        "[var name=bad data=1]\n"
        "*far\n"
        "[tag data=\"var,name\"]\n"
        "[tag data=\"*,a,b\"]\n"
        "[tag data=\",ignored,1\"]\n"
        "[var name=after data=1]\n");
    EXPECT_EQ(Var("x"), "12");
    // An empty first element is a tag without a name: it does nothing and ends the frame.
    EXPECT_FALSE(Logged("main.iet(8): パラメータが不正です。")) << AllLines();
    EXPECT_FALSE(Exists("after"));
    Frames(1);
    EXPECT_EQ(Var("after"), "1");
    EXPECT_FALSE(Exists("bad"));
    EXPECT_TRUE(Logged("main.iet(6): パラメータが不正です。")) << AllLines();
    EXPECT_TRUE(Logged("main.iet(7): パラメータが不正です。")) << AllLines();
}

TEST_F(FlowTagsTest, MacrosAreFoundInTheScriptAddedLastAndMacrodelRemovesAScript) {
    m_dir.Write("macro.iet", "*who\n[var name=by data=macro]\n[return]\n*base\n[var name=base data=$v]\n[return]\n");
    m_dir.Write("more.iet", "*who\n[var name=by data=more]\n[return]\n");
    Run("[who]\n[var name=first data=$by]\n"
        "[macroadd file=more.iet]\n[macroadd file=more.iet]\n[who]\n[var name=second data=$by]\n"
        "[base v=7]\n[var name=after data=1]\n"
        "[macrodel file=nothere.iet]\n[macrodel file=macro.iet]\n[base]\n");
    EXPECT_EQ(Var("first"), "macro");
    EXPECT_EQ(Var("second"), "more");
    EXPECT_EQ(Var("base"), "7");
    EXPECT_FALSE(Exists("v"));
    EXPECT_EQ(m_script->GetMacroFiles(), (std::vector<std::string>{"more.iet"}));
    EXPECT_TRUE(Logged("main.iet(11): [base] 未知のタグ、または未定義のマクロです。")) << AllLines();
}

TEST_F(FlowTagsTest, VarAssignsTextAndTellsWhetherVariablesExist) {
    m_dir.Write("macro.iet",
                "*probe\n[var name=g.inlocal system=var_exist target=arg local=1]\n"
                "[var name=g.inglobal system=var_exist target=g.x local=1]\n[return]\n");
    Run("[var name=g.x data=\"\" system=unixtime]\n"
        "[var name=e1 system=var_exist target=g.x]\n"
        "[var name=e2 system=var_exist target=nothing local=0]\n"
        "[var name=e3 system=var_exist target=g.x local=1]\n"
        "[var name=e4 system=Var_exist target=g.x]\n"
        "[var name=e5 system=random min=1 max=1]\n"
        "[probe arg=1]\n");
    EXPECT_TRUE(Exists("g.x"));
    EXPECT_EQ(Var("g.x"), "");
    EXPECT_EQ(Var("e1"), "1");
    EXPECT_EQ(Var("e2"), "0");
    EXPECT_EQ(Var("e3"), "0");
    EXPECT_FALSE(Exists("e4"));
    EXPECT_EQ(Var("e5"), "1");
    EXPECT_EQ(Var("g.inlocal"), "1");
    EXPECT_EQ(Var("g.inglobal"), "0");
}

TEST_F(FlowTagsTest, DebugSetsModeAndLevelAndDebugprintTracesAtItsLevel) {
    Run("[debug mode=1 level=2]\n[debugprint data=zero]\n[debugprint level=3 data=three]\n"
        "[debug mode=1 level=5]\n[debugprint level=5 data=five]\n"
        "[debug mode=0 level=5]\n[debugprint data=off]\n[debug mode=2]\n[debugprint data=channel]\n");
    EXPECT_TRUE(Logged("main.iet(2): debugprint zero")) << AllLines();
    EXPECT_FALSE(Logged("main.iet(3): debugprint three")) << AllLines();
    EXPECT_TRUE(Logged("main.iet(5): debugprint five")) << AllLines();
    EXPECT_FALSE(Logged("main.iet(7): debugprint off")) << AllLines();
    EXPECT_FALSE(Logged("main.iet(9): debugprint channel")) << AllLines();
    EXPECT_EQ(m_script->GetDebugMode(), 2);
    EXPECT_EQ(m_script->GetTraceLevel(), 5);
}

}  // namespace
