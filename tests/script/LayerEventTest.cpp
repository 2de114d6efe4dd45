// Layer pointer events run at once or wait in the queue of event blocks until a wait ends.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "CORE/CDynamicVariables.h"
#include "CORE/CLogWindow.h"
#include "SCRIPT/CMainScript.h"
#include "support/InterpreterFixture.h"
#include "support/TestSupport.h"

using kestrin::CDynamicVariables;
using kestrin::CMainScript;
using kestrin::CScriptBlock;

namespace {

class LayerEventTest : public kestrin_test::InterpreterFixture {
protected:
    void SetUp() override {
        InterpreterFixture::SetUp();
        CDynamicVariables::GetInstance()->SetString("SaveDataPath", m_dir.Path());
        m_dir.Write("main.iet", "*start\n@\n*a\n[nosuchtag]\n*b\n[nosuchtag]\n");
        m_script.reset(new CMainScript(nullptr));
        ASSERT_FALSE(m_script->Start());
    }
    static CScriptBlock Handler(const std::string& label, const char* call = nullptr) {
        CScriptBlock block(CScriptBlock::kTag, 1, "setonclick");
        block.SetAttribute("label", label);
        if (call) block.SetAttribute("call", call);
        return block;
    }
    int Index() { return m_script->GetCaret().index; }
};

TEST_F(LayerEventTest, WithoutPenetrationOnlyTheFirstClickOfAFrameRuns) {
    m_script->OnLayerEvent(CMainScript::LAYER_EVENT_CLICK, false, Handler("a"));
    EXPECT_EQ(Index(), 2);
    m_script->OnLayerEvent(CMainScript::LAYER_EVENT_CLICK, false, Handler("b"));
    EXPECT_EQ(Index(), 2);
    // Penetrating handlers (and the other kinds) always run.
    m_script->OnLayerEvent(CMainScript::LAYER_EVENT_CLICK, true, Handler("b"));
    EXPECT_EQ(Index(), 4);
    m_script->OnLayerEvent(CMainScript::LAYER_EVENT_DRAGIN, false, Handler("a"));
    EXPECT_EQ(Index(), 2);
    // The next frame (here stopping at the click wait) clears the guard.
    ASSERT_FALSE(m_script->Jump("", "start"));
    m_script->Update(16);
    ASSERT_EQ(m_script->GetState(), CMainScript::STAT_CLICK);
    m_script->OnLayerEvent(CMainScript::LAYER_EVENT_CLICK, false, Handler("b"));
    EXPECT_EQ(Index(), 4);
}

TEST_F(LayerEventTest, EventsDuringOtherWaitsAreQueuedUntilTheWaitEnds) {
    m_script->SetStatus(CMainScript::STAT_BACKLOG);
    m_script->OnLayerEvent(CMainScript::LAYER_EVENT_CLICK, false, Handler("b", "0"));
    EXPECT_EQ(Index(), 0);
    ASSERT_EQ(m_script->GetPendingEventBlocks().size(), 1u);
    EXPECT_EQ(m_script->GetPendingEventBlocks()[0].GetName(), "jump");
    m_script->EndClickWait();
    EXPECT_TRUE(m_script->GetPendingEventBlocks().empty());
    EXPECT_EQ(Index(), 4);
    EXPECT_TRUE(m_script->GetCallStack().empty());

    m_script->SetStatus(CMainScript::STAT_HIDDEN);
    m_script->OnLayerEvent(CMainScript::LAYER_EVENT_ROLLOVER, false, Handler("a", "1"));
    EXPECT_EQ(m_script->GetPendingEventBlocks().back().GetName(), "call");
    m_script->EndClickWait();
    EXPECT_EQ(Index(), 2);
    EXPECT_EQ(m_script->GetCallStack().size(), 1u);
}

TEST_F(LayerEventTest, QueuedBlocksKeepTheirHandlerAndMoveOnlyWhenTheyNameAPlace) {
    CScriptBlock empty;
    EXPECT_TRUE(m_script->QueueEventBlock(empty));
    EXPECT_TRUE(m_script->GetPendingEventBlocks().empty());

    CScriptBlock handlerOnly(CScriptBlock::kTag, 1, "setonclick");
    handlerOnly.SetAttribute("handler", "nosuchtag");
    EXPECT_FALSE(m_script->QueueEventBlock(handlerOnly));
    ASSERT_EQ(m_script->GetPendingEventBlocks().size(), 1u);
    EXPECT_EQ(m_script->GetPendingEventBlocks()[0].GetName(), "nosuchtag");

    CScriptBlock both = Handler("b");
    both.SetAttribute("handler", "nosuchtag");
    EXPECT_FALSE(m_script->QueueEventBlock(both));
    ASSERT_EQ(m_script->GetPendingEventBlocks().size(), 3u);
    EXPECT_EQ(m_script->GetPendingEventBlocks()[1].GetName(), "nosuchtag");
    EXPECT_EQ(m_script->GetPendingEventBlocks()[2].GetName(), "jump");
    EXPECT_EQ(m_script->GetPendingEventBlocks()[2].GetAttribute("label"), "b");
}

}  // namespace
