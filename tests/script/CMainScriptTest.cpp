// The interpreter without a screen: scripts in a temporary game folder, run frame by frame.
#include "SCRIPT/CMainScript.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CFrameDemand.h"
#include "CORE/CInput.h"
#include "CORE/CLogWindow.h"
#include "CORE/Platform/HeadlessMessageBox.h"
#include "CORE/Platform/HeadlessWindowSystem.h"
#include "CORE/WindowMessages.h"
#include "SCRIPT/COruVariables.h"
#include "babel/babel.h"
#include "support/InterpreterFixture.h"
#include "support/TestSupport.h"

using kestrin::CDynamicVariables;
using kestrin::CMainScript;
using kestrin::CScriptBlock;

namespace {

class InterpreterTest : public kestrin_test::InterpreterFixture {
protected:
    // One frame with the key held down, then one with it released.
    void Press(int key) {
        m_windows->SetKeyDown(key, true);
        kestrin::CInput::GetInstance()->Update(m_now + 16);
        Frames(1);
        m_windows->SetKeyDown(key, false);
        kestrin::CInput::GetInstance()->Update(m_now + 16);
        Frames(1);
    }

    void Write(const std::string& name, const std::string& text) { m_dir.Write(name, text); }

    // Boots main.iet with the trace on; true when the boot failed.
    bool Boot() {
        m_script.reset(new CMainScript(nullptr));
        if (m_script->Start()) return true;
        m_script->SetDebugMode(1);
        return false;
    }

    void Frames(int count) {
        for (int i = 0; i < count; ++i) m_script->Update(m_now += 16);
    }

    std::string Var(const std::string& name) { return m_script->GetVariables().GetString(name); }
};

TEST_F(InterpreterTest, BootFailsWithoutTheBootScriptAndRunsNothingBeforeTheFirstFrame) {
    EXPECT_TRUE(Boot());
    Write("main.iet", "[nosuchtag]\n");
    ASSERT_FALSE(Boot());
    EXPECT_EQ(m_script->GetState(), 0);
    EXPECT_TRUE(m_lines.empty());
    // macro.iet is not opened at boot: the unknown tag reports itself on the first frame.
    Frames(1);
    EXPECT_TRUE(Logged("main.iet(1): nosuchtag")) << AllLines();
    EXPECT_TRUE(Logged("main.iet(1): [nosuchtag] 未知のタグ、または未定義のマクロです。")) << AllLines();
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_QUIT);
}

TEST_F(InterpreterTest, JumpsCallsAndReturnsAcrossFilesWithTracesIndentedByDepth) {
    Write("main.iet",
          "[call label=sub]\n"
          "[jump file=other label=far]\n"
          "[nosuchtag where=skipped]\n"
          "*sub\n"
          "[nosuchtag where=sub]\n"
          "[return]\n");
    Write("other.iet", "*far\n[call file=other.iet label=deeper]\n[exit]\n*deeper\n[nosuchtag where=deeper]\n");
    ASSERT_FALSE(Boot());
    Frames(1);
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_QUIT) << AllLines();
    EXPECT_TRUE(Logged("  main.iet(5): nosuchtag where=\"sub\"")) << AllLines();
    EXPECT_TRUE(Logged("main.iet(2): jump file=\"other\" label=\"far\"")) << AllLines();
    // The end of other.iet returns from the call; the exit after it ends the game.
    EXPECT_TRUE(Logged("  other.iet(5): nosuchtag where=\"deeper\"")) << AllLines();
    EXPECT_TRUE(Logged("other.iet(3): exit")) << AllLines();
    EXPECT_FALSE(Logged("main.iet(3): nosuchtag where=\"skipped\"")) << AllLines();
    EXPECT_EQ(m_script->GetCaret().file, "other.iet");
}

TEST_F(InterpreterTest, FailedJumpOrCallLeavesCaretAndCallStackAlone) {
    Write("main.iet", "[call label=missing]\n[call file=nofile label=x]\n[jump label=missing]\n@\n");
    ASSERT_FALSE(Boot());
    EXPECT_TRUE(m_script->Call("", "missing"));
    EXPECT_TRUE(m_script->Call("nofile", ""));
    EXPECT_TRUE(m_script->Jump("", "missing"));
    EXPECT_TRUE(m_script->GetCallStack().empty());
    EXPECT_EQ(m_script->GetCaret().index, 0);
    Frames(1);
    EXPECT_TRUE(Logged("main.iet(1): [call file=\"\" label=\"missing\"] 指定された場所は見つかりません。"))
        << AllLines();
    EXPECT_TRUE(Logged("main.iet(2): [call file=\"nofile\" label=\"x\"] 指定された場所は見つかりません。"))
        << AllLines();
    EXPECT_TRUE(m_script->GetCallStack().empty());
}

TEST_F(InterpreterTest, MacroArgumentsAreLocalAndTheLatestMacroFileWins) {
    Write("main.iet", "[hello who=world n=2]\n[print data=$who]\n");
    Write("macro.iet", "*hello\n[print data=wrong]\n[return]\n");
    Write("more.iet", "*hello\n[print data=$who]\n[return]\n");
    ASSERT_FALSE(Boot());
    m_script->GetMacroFiles().push_back("more.iet");
    Frames(1);
    EXPECT_TRUE(Logged("  more.iet(2): print data=\"$who\"(world)")) << AllLines();
    EXPECT_FALSE(Logged("  macro.iet(2): print data=\"wrong\"")) << AllLines();
    // Outside the macro the argument is gone.
    EXPECT_TRUE(Logged("main.iet(2): print data=\"$who\"(0)")) << AllLines();
    EXPECT_EQ(m_script->GetVariables().GetLocalScopeCount(), 0u);
}

TEST_F(InterpreterTest, DollarSubstitutionAndPrint) {
    Write("main.iet", "[nosuchtag a=$x b=$$y c=a$x d=$]\n[print]\n[print data=$x]\n[Print]\n");
    ASSERT_FALSE(Boot());
    m_script->GetVariables().SetString("x", "5");
    m_script->GetVariables().SetString("y", "x");
    Frames(1);
    EXPECT_TRUE(Logged("main.iet(1): nosuchtag a=\"$x\"(5) b=\"$$y\"(5) c=\"a$x\" d=\"$\"()")) << AllLines();
    EXPECT_TRUE(Logged("main.iet(3): print data=\"$x\"(5)")) << AllLines();
    // Names are case-sensitive: "Print" is a macro call.
    EXPECT_TRUE(Logged("main.iet(4): [Print] 未知のタグ、または未定義のマクロです。")) << AllLines();
}

TEST_F(InterpreterTest, MissingMacroFileIsNotOpenedOnEveryUnknownTag) {
    Write("main.iet", "[first]\n@\n[second]\n");
    ASSERT_FALSE(Boot());
    Frames(1);
    // The macro file appears later: the failed open is remembered until the list is reset.
    Write("macro.iet", "*second\n[print data=found]\n[return]\n");
    m_script->GetCaret().SetStatus(CMainScript::STAT_RUN);
    Frames(1);
    EXPECT_TRUE(Logged("main.iet(3): [second] 未知のタグ、または未定義のマクロです。")) << AllLines();
    ASSERT_FALSE(Boot());
    m_script->GetCaret().index = 2;
    Frames(1);
    EXPECT_TRUE(Logged("  macro.iet(2): print data=\"found\"")) << AllLines();
}

TEST_F(InterpreterTest, RunawayMacroRecursionStopsAtTheDepthLimit) {
    Write("main.iet", "[loop]\n[exit]\n");
    Write("macro.iet", "*loop\n[loop]\n[return]\n");
    ASSERT_FALSE(Boot());
    m_script->SetDebugMode(0);
    Frames(1);
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_QUIT);
    EXPECT_TRUE(m_script->GetCallStack().empty());
}

TEST_F(InterpreterTest, ScriptThatNeverWaitsYieldsAfterTheFrameBudget) {
    Write("main.iet", "*top\n[jump label=top]\n");
    ASSERT_FALSE(Boot());
    uint64_t fakeMs = 0;
    m_script->SetBudgetClock([&fakeMs] { return fakeMs += 1; });
    m_script->SetFrameBudget(10);
    m_script->SetDebugMode(1);
    m_script->SetTraceLevel(1);
    Frames(1);
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_RUN);
    ASSERT_EQ(m_lines.size(), 1u) << AllLines();
    EXPECT_NE(m_lines[0].find("main.iet(2): 1フレームの実行時間が10ms"), std::string::npos) << m_lines[0];
    Frames(1);
    EXPECT_EQ(m_lines.size(), 2u);
}

TEST_F(InterpreterTest, ReloadDropsLabelsTheNewTextNoLongerHas) {
    Write("main.iet", "@\n*old\n");
    ASSERT_FALSE(Boot());
    EXPECT_FALSE(m_script->Jump("", "old"));
    Write("main.iet", "@\n*new\n");
    m_script->ReloadScripts();
    EXPECT_TRUE(m_script->Jump("", "old"));
    EXPECT_FALSE(m_script->Jump("", "new"));
}

TEST_F(InterpreterTest, AFileAskedForBeforeItExistsIsStillLoadedLater) {
    Write("main.iet", "@\n");
    ASSERT_FALSE(Boot());
    EXPECT_TRUE(m_script->GetScriptBlocks("later.iet").empty());
    Write("later.iet", "*here\n@\n");
    EXPECT_FALSE(m_script->Jump("later", "here"));
    EXPECT_EQ(m_script->GetScriptBlocks("later.iet").size(), 2u);
    EXPECT_EQ(m_script->GetCaret().file, "later.iet");
}

TEST_F(InterpreterTest, ClickWaitAsLastBlockShowsNoGlyphPastTheEnd) {
    Write("main.iet", "[nosuchtag]\n@");
    ASSERT_FALSE(Boot());
    auto& glyph = m_script->GetGlyphSettings()[""];
    glyph.lineGlyphSet = true;
    glyph.lineGlyphLayer = "glyph";
    Frames(2);
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_CLICK);
}

TEST_F(InterpreterTest, EndingATransitionWaitTwiceDoesNothingTheSecondTime) {
    Write("main.iet", "@\n");
    ASSERT_FALSE(Boot());
    m_script->SetStatus(CMainScript::STAT_TRANSITION);
    m_script->EndTransitionWait();
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_RUN);
    m_script->SetStatus(CMainScript::STAT_CLICK);
    m_script->EndTransitionWait();
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_CLICK);
}

TEST_F(InterpreterTest, DeferredCallsAndPendingBlocksQueuedWhileRunningWaitTheirTurn) {
    Write("main.iet", "@\n");
    ASSERT_FALSE(Boot());
    int runs = 0;
    std::function<void()> requeue = [&] {
        ++runs;
        m_script->QueueDeferredCall(requeue);
    };
    m_script->QueueDeferredCall(requeue);
    Frames(3);
    EXPECT_EQ(runs, 3);

    m_script->SetStatus(CMainScript::STAT_CLICK);
    m_script->GetPendingEventBlocks().emplace_back(CScriptBlock::kText, 0, "first");
    m_script->EndClickWait();
    EXPECT_TRUE(m_script->GetPendingEventBlocks().empty());
}

TEST_F(InterpreterTest, EventBlocksCallJumpOrQueueTheirHandler) {
    Write("main.iet", "@\n*there\n@\n");
    ASSERT_FALSE(Boot());
    CScriptBlock handlerOnly;
    handlerOnly.SetName("event");
    handlerOnly.GetAttributes()["handler"] = "nosuchtag";
    EXPECT_FALSE(m_script->RunEventBlock(handlerOnly));
    ASSERT_EQ(m_script->GetCaret().queue.size(), 1u);
    EXPECT_EQ(m_script->GetCaret().queue.front().GetName(), "nosuchtag");

    CScriptBlock jump;
    jump.SetName("event");
    jump.GetAttributes()["label"] = "there";
    jump.GetAttributes()["call"] = "0";
    EXPECT_FALSE(m_script->RunEventBlock(jump));
    EXPECT_TRUE(m_script->GetCallStack().empty());
    EXPECT_EQ(m_script->GetCaret().index, 1);

    jump.GetAttributes()["call"] = "1";
    EXPECT_FALSE(m_script->RunEventBlock(jump));
    EXPECT_EQ(m_script->GetCallStack().size(), 1u);
    EXPECT_TRUE(m_script->RunEventBlock(CScriptBlock()));
}

TEST_F(InterpreterTest, FirstExecutionOfABlockStopsCommandSkip) {
    Write("main.iet", "*top\n@\n[jump label=top]\n");
    ASSERT_FALSE(Boot());
    Frames(1);
    m_script->SetCommandSkip(true, true);
    EXPECT_TRUE(m_script->IsSkipping());
    EXPECT_EQ(Var("s.status.commandskip"), "1");
    // Skipping ends the click wait; the jump has never run, so skipping stops there.
    Frames(1);
    EXPECT_FALSE(m_script->IsSkipping());
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_CLICK);
    // Every block is read now: skipping goes on (and the loop yields after its budget).
    m_script->SetFrameBudget(0);
    m_script->SetCommandSkip(true, true);
    Frames(1);
    EXPECT_TRUE(m_script->IsSkipping());
}

TEST_F(InterpreterTest, KeysEndClickWaitsRunPushHandlersAndSwitchCommandSkip) {
    UseFakeInput();
    Write("main.iet", "@\n[nosuchtag n=1]\n@\n[nosuchtag n=2]\n@\n*pushed\n@\n");
    ASSERT_FALSE(Boot());
    Frames(3);
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_CLICK);
    Press(13);  // Enter (role 0) ends the click wait
    EXPECT_TRUE(Logged("main.iet(2): nosuchtag n=\"1\"")) << AllLines();
    EXPECT_EQ(m_script->GetCaret().index, 3);

    // A push-key handler runs before anything else and ends the frame.
    CScriptBlock handler;
    handler.SetName("setonpush");
    handler.GetAttributes()["label"] = "pushed";
    m_script->GetPushKeyHandlers()[32] = handler;
    Press(32);
    EXPECT_EQ(m_script->GetCaret().index, 7);
    EXPECT_FALSE(Logged("main.iet(4): nosuchtag n=\"2\"")) << AllLines();

    // Shift (role 12) starts command skip, which runs through the last click wait to the end.
    Press(16);
    EXPECT_EQ(Var("s.status.commandskip"), "1");
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_QUIT);
}

TEST_F(InterpreterTest, AutomodeEndsAClickWaitAfterTheAutomodeWait) {
    Write("main.iet", "@\n[nosuchtag]\n@\n");
    ASSERT_FALSE(Boot());
    m_script->SetAutoMode(true, false);
    EXPECT_FALSE(m_script->IsAutoMode());  // not allowed yet
    m_script->SetAutoModeAllowed(true);
    m_script->SetAutoMode(true, false);
    EXPECT_EQ(Var("s.status.automode"), "1");
    m_script->GetVariables().SetInt("s.automodewait", 500);
    Frames(2);  // the wait starts, then its wake time is set
    uint32_t started = m_now;
    while (m_script->GetCaret().index == 1 && m_now < started + 2000) Frames(1);
    EXPECT_GT(m_now, started + 500);
    EXPECT_LE(m_now, started + 500 + 32);
    EXPECT_EQ(m_script->GetCaret().index, 3);
}

TEST_F(InterpreterTest, TimedWaitIgnoresPushKeysAndDebugReloadNeedsTheTrace) {
    UseFakeInput();
    Write("main.iet", "@\n*pushed\n@\n");
    ASSERT_FALSE(Boot());
    kestrin::HeadlessMessageBox box;
    kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
    services.messageBox = kestrin::Unowned(box);
    kestrin::PlatformServicesScope scope(services);
    ASSERT_FALSE(scope.Failed());
    Frames(1);
    CScriptBlock handler;
    handler.SetName("setonpush");
    handler.GetAttributes()["label"] = "pushed";
    m_script->GetPushKeyHandlers()[32] = handler;
    m_script->SetStatus(CMainScript::STAT_WAIT);
    m_script->GetCaret().wakeTime = m_now + 100000;
    Press(32);
    EXPECT_EQ(m_script->GetCaret().index, 1);

    m_script->GetCaret().wakeTime = 0;
    m_script->SetStatus(CMainScript::STAT_CLICK);
    m_script->SetDebugMode(0);
    Press(116);
    EXPECT_TRUE(box.shown.empty());
    m_script->SetDebugMode(1);
    Press(116);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].caption, "デバッグ");
}

// Engine messages join game text in the game's own encoding; the log reads UTF-8 whatever
// the game's encoding is.
TEST_F(InterpreterTest, MessagesReadTheSameInShiftJisAndUtf8Games) {
    struct Case {
        const char* script;  // UTF-8; written in the game's encoding
        const char* line;    // the trace line, UTF-8
    };
    const Case cases[] = {
        {"[未知のもの]\n", "main.iet(1): [未知のもの] 未知のタグ、または未定義のマクロです。"},
        {"[jump label=どこか]\n", "main.iet(1): [jump file=\"\" label=\"どこか\"] 指定された場所は見つかりません。"},
        {"[call file=無い label=x]\n",
         "main.iet(1): [call file=\"無い\" label=\"x\"] 指定された場所は見つかりません。"},
        {"[tag data=\"*,一,二\"]\n", "main.iet(1): パラメータが不正です。"},
        {"[lua]\nfunction f() error('失敗', 0) end\n[/lua]\n[calllua function=f]\n", "main.iet(4): [Lua] 失敗"},
    };
    for (const char* charset : {"utf-8", "shift_jis"}) {
        const bool utf8 = std::string(charset) == "utf-8";
        CDynamicVariables::GetInstance()->SetString("ini.Charset", charset);
        for (const auto& c : cases) {
            Write("main.iet", utf8 ? std::string(c.script) : babel::utf8_to_sjis(c.script));
            m_lines.clear();
            m_script.reset(new CMainScript(nullptr));
            ASSERT_FALSE(m_script->Start());
            EXPECT_EQ(m_script->GetTextEncoding(), utf8 ? 2 : 0);
            m_script->SetDebugMode(1);
            Frames(1);
            EXPECT_TRUE(Logged(c.line)) << charset << "\n" << AllLines();
        }
    }
}

TEST_F(InterpreterTest, ARightClickScriptThatCannotRunEndsTheFrameAndTheMode) {
    UseFakeInput();
    struct Case {
        const char* rclick;  // null: no right-click script
        const char* line;
    };
    const Case cases[] = {
        {nullptr, "rclick.iet: 右クリックスクリプトを呼び出せません。"},
        {"@\n", "rclick.iet: [leave] 右クリックスクリプトのラベルが見つからないため、右クリックモードを終了します。"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(m_dir.Path() + "/rclick.iet");
        if (c.rclick) Write("rclick.iet", c.rclick);
        Write("main.iet", "@\n[nosuchtag]\n");
        ASSERT_FALSE(Boot());
        m_script->SetRightClickAllowed(true);
        Frames(1);
        m_lines.clear();
        Press(27);  // Escape: opens the right-click script, in it leaves it
        if (c.rclick) {
            EXPECT_TRUE(m_script->IsRightClickMode());
            EXPECT_EQ(m_script->GetCaret().file, "rclick.iet");
            Press(27);
        }
        EXPECT_TRUE(LoggedWithin(c.line)) << AllLines();
        EXPECT_FALSE(m_script->IsRightClickMode());
        EXPECT_EQ(m_script->GetCaret().file, "main.iet");
        EXPECT_TRUE(m_script->GetCallStack().empty());
        EXPECT_EQ(m_script->GetState(), CMainScript::STAT_CLICK);
    }
}

TEST_F(InterpreterTest, SystemVariablesAfterBoot) {
    Write("main.iet", "@\n");
    CDynamicVariables::GetInstance()->SetString("GameDataPath", "/games/x");
    ASSERT_FALSE(Boot());
    EXPECT_EQ(Var("s.engineversion"), "1.40.0.1316");
    EXPECT_EQ(Var("s.minimumsupportversion"), "1103");
    EXPECT_EQ(Var("s.savedataversion"), "1000");
    EXPECT_EQ(Var("s.datapath"), "/games/x");
    EXPECT_EQ(Var("s.savepath"), "");
    EXPECT_EQ(Var("s.builddate"), "Sat Dec 17 18:44:07 2011");
    EXPECT_EQ(Var("s.bgmvol"), "1000");
    EXPECT_EQ(Var("s.automodewait"), "1000");
    EXPECT_EQ(Var("s.opengles2capable"), "0");
}

}  // namespace

TEST_F(InterpreterTest, FramesAreAskedForOnlyWhileTheScriptMovesWithTime) {
    struct Case {
        const char* what;
        const char* script;
        bool automode;
        uint32_t least, most;  // the wait the loop is allowed after the frame (10000: any)
    } cases[] = {
        {"a click wait: input only", "@\n", false, 10000, 10000},
        {"a timed wait: its time", "[wait time=300]\n", false, 300 - 2 * 16, 301},
        {"a click wait in auto mode: the auto-mode wait", "@\n", true, 500 - 2 * 16, 501},
        {"a per-frame Lua handler: every frame",
         "[lua]\nfunction f(o) end\nfunction init(o) o:setEventHandler{onEnterFrame = 'f'} end\n[/lua]\n"
         "[calllua function=init]\n@\n",
         false, 0, 0},
    };
    for (const auto& c : cases) {
        Write("main.iet", c.script);
        ASSERT_FALSE(Boot()) << c.what;
        m_script->SetAutoModeAllowed(true);
        m_script->GetVariables().SetInt("s.automodewait", 500);
        if (c.automode) m_script->SetAutoMode(true, false);
        Frames(2);
        kestrin::CFrameDemand::Take(0);  // what booting asked for
        Frames(1);
        const uint32_t rest = kestrin::CFrameDemand::Take(10000);
        EXPECT_GE(rest, c.least) << c.what;
        EXPECT_LE(rest, c.most) << c.what;
    }
}

// A big script starts at once: it is parsed as far as the game reads it, the rest a bounded
// amount after each drawn frame; a frame is asked for until it is whole. A big script that
// may hold Lua is parsed whole at load, since its chunks all run then.
TEST_F(InterpreterTest, ABigScriptRunsBeforeItIsWhollyParsed) {
    std::string filler;
    for (int i = 0; filler.size() < (1u << 20) + 100000; ++i)
        filler += "*l" + std::to_string(i) + "\n[var name=v data=" + std::to_string(i) + "]\n";
    Write("main.iet", "[var name=first data=1]\n@\n" + filler + "*last\n[var name=last data=2]\n@\n");
    Write("lua.iet", "@\n" + filler + "[l\\ua]\nfunction late() end\n[/lua]\n");
    ASSERT_FALSE(Boot());
    uint64_t fakeMs = 0;
    m_script->SetBudgetClock([&fakeMs] { return fakeMs += 1; });
    Frames(1);
    EXPECT_EQ(Var("first"), "1");
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_CLICK);
    const auto& blocks = m_script->GetScriptBlocks("main.iet");
    EXPECT_TRUE(blocks.IsPartial());
    kestrin::CFrameDemand::Take(0);
    int idles = 0;
    for (; blocks.IsPartial() && idles < 100; ++idles) {
        Frames(1);
        EXPECT_EQ(kestrin::CFrameDemand::Take(10000), 0u);
        m_script->Idle();
    }
    EXPECT_GT(idles, 2);
    EXPECT_FALSE(blocks.IsPartial());
    Frames(1);
    EXPECT_EQ(kestrin::CFrameDemand::Take(10000), 10000u);  // a click wait again, nothing left to parse

    ASSERT_FALSE(m_script->Jump("", "last"));
    Frames(1);
    EXPECT_EQ(Var("last"), "2");
    ASSERT_FALSE(m_script->Jump("lua", ""));
    EXPECT_FALSE(m_script->GetScriptBlocks("lua.iet").IsPartial());
}
