// The event tags' family on its own, with a fake interpreter: what the tags ask of the
// interpreter goes through the host, a layer's reaction runs at once or waits in the queue,
// and the key reactions of a frame stop at the first one that moves the caret.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "GRAPHICS/CLayer.h"
#include "SCRIPT/CScriptState.h"
#include "SCRIPT/IEventTagHost.h"
#include "SCRIPT/tags/CEventTags.h"

using namespace kestrin;

namespace {

class FakeHost : public IEventTagHost {
public:
    const std::string& GetEventCaretFile() const override { return caretFile; }
    std::shared_ptr<ILayer> FindEventLayer(const std::string& id) override {
        auto it = layers.find(id);
        return it == layers.end() ? nullptr : it->second;
    }
    void RecordLayerEvent(const std::string& id, const CScriptBlock& block) override {
        records.push_back(id + ": " + block.ToCommaText());
    }
    std::map<int, CScriptBlock>& GetPushKeyBlocks() override { return pushKeys; }
    CScriptBlock& GetModeEventBlock(int slot) override { return modeEvents[slot]; }
    bool TakesEventNow() const override { return takesEvents; }
    bool RunEventReaction(const CScriptBlock& block) override {
        ran.push_back(block.GetAttribute("label"));
        if (onRun) onRun();
        return block.GetAttribute("label") == "missing";
    }
    bool IsEventKeyDecided(int key) override { return decided.count(key) != 0; }
    void TraceTagAt(int level, const CScriptBlock& block, const char* format, va_list args) override {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        traces.push_back(std::to_string(level) + "@" + std::to_string(block.GetLine()) + ": " + text);
    }

    std::string caretFile = "main.iet";
    std::map<std::string, std::shared_ptr<ILayer>> layers{{"a", std::make_shared<CLayer>(nullptr)}};
    std::vector<std::string> records;
    std::map<int, CScriptBlock> pushKeys;
    CScriptBlock modeEvents[SScriptStateIndexes::EVENT_COUNT];
    bool takesEvents = true;
    std::vector<std::string> ran;
    std::function<void()> onRun;
    std::set<int> decided;
    std::vector<std::string> traces;
};

CScriptBlock Tag(const std::string& name, const std::map<std::string, std::string>& attributes, int line = 7) {
    CScriptBlock block(CScriptBlock::kTag, line, name);
    for (const auto& a : attributes) block.SetAttribute(a.first, a.second);
    return block;
}

class EventTagsFamilyTest : public ::testing::Test {
protected:
    ILayer& Layer() { return *m_host.layers.at("a"); }

    FakeHost m_host;
    std::unique_ptr<CEventTags> m_events = std::make_unique<CEventTags>(m_host);
};

TEST_F(EventTagsFamilyTest, ALayerReactionRunsOncePerFrameUnlessItPenetrates) {
    EXPECT_FALSE(m_events->TagSetonclick(Tag("setonclick", {{"id", "a"}, {"label", "x"}}), false));
    EXPECT_FALSE(m_events->TagSetonclick(Tag("setondrag", {{"id", "a"}, {"label", "d"}}), true));
    EXPECT_FALSE(m_events->TagSetonclick(Tag("setonclick", {{"id", "nosuch"}, {"label", "x"}}), false));
    // The label is bound to the caret's file; a replay and a missing layer record nothing.
    EXPECT_EQ(m_host.records, (std::vector<std::string>{"a: setonclick,file,main.iet,id,a,label,x"}));
    ASSERT_TRUE(Layer().GetOnClick());
    ASSERT_TRUE(Layer().GetOnDrag());

    Layer().GetOnClick()();
    Layer().GetOnClick()();
    Layer().GetOnDrag()();
    Layer().GetOnDrag()();
    EXPECT_EQ(m_host.ran, (std::vector<std::string>{"x", "d", "d"}));
    m_events->BeginFrame();
    Layer().GetOnClick()();
    EXPECT_EQ(m_host.ran.size(), 4u);

    EXPECT_FALSE(m_events->TagDelonclick(Tag("delonclick", {{"id", "a"}}), false));
    EXPECT_FALSE(Layer().GetOnClick());
    EXPECT_EQ(m_host.records.back(), "a: delonclick,id,a");
    EXPECT_TRUE(m_host.traces.empty());
}

TEST_F(EventTagsFamilyTest, DuringOtherWaitsAReactionIsQueuedAsItsHandlerThenItsJumpOrCall) {
    m_events->TagSetonclick(Tag("setonrollover", {{"id", "a"}, {"label", "r"}, {"call", "1"}, {"handler", "lydel"}}),
                            false);
    m_events->TagSetonclick(Tag("setonrollout", {{"id", "a"}, {"handler", "stop"}}), false);
    m_host.takesEvents = false;
    Layer().GetOnRollOver()();
    Layer().GetOnRollOut()();
    EXPECT_TRUE(m_host.ran.empty());

    std::vector<std::string> names;
    for (const auto& block : m_events->TakePendingBlocks()) names.push_back(block.GetName());
    // A handler-only reaction names no place: it must not restart the file.
    EXPECT_EQ(names, (std::vector<std::string>{"lydel", "call", "stop"}));
    EXPECT_TRUE(m_events->GetPendingBlocks().empty());

    EXPECT_TRUE(m_events->QueueEventBlock(CScriptBlock()));
    m_events->QueueEventBlock(Tag("setonclick", {{"label", "x"}, {"call", "0"}}));
    ASSERT_EQ(m_events->GetPendingBlocks().size(), 1u);
    EXPECT_EQ(m_events->GetPendingBlocks()[0].GetName(), "jump");
    m_events->Reset();
    EXPECT_TRUE(m_events->GetPendingBlocks().empty());
}

TEST_F(EventTagsFamilyTest, KeyReactionsStopAtTheFirstThatMovesAndBadKeysAreTraced) {
    m_events->TagSetonclick(Tag("setonpush", {{"key", "32"}, {"label", "missing"}}), false);
    m_events->TagSetonclick(Tag("setonpush", {{"key", "40"}, {"label", "forty"}}), false);
    m_events->TagSetonclick(Tag("setonpush", {{"key", "50"}, {"label", "fifty"}}), false);
    m_events->TagSetonclick(Tag("setonpush", {{"key", "256"}, {"label", "x"}}, 9), false);
    m_events->TagDelonclick(Tag("delonpush", {{"key", "-1"}}, 11), false);
    ASSERT_EQ(m_host.pushKeys.size(), 3u);
    EXPECT_EQ(m_host.traces, (std::vector<std::string>{
                                 "1@9: [setonpush key=\"256\"] キーコードは0から255の範囲で指定してください。",
                                 "1@11: [delonpush key=\"-1\"] キーコードは0から255の範囲で指定してください。"}));

    EXPECT_FALSE(m_events->RunPushKeys());
    // A reaction whose place is missing moves nothing: the next key's still runs, and the
    // map may change under the walk.
    m_host.decided = {32, 40, 50};
    m_host.onRun = [this] { m_host.pushKeys.clear(); };
    EXPECT_TRUE(m_events->RunPushKeys());
    EXPECT_EQ(m_host.ran, (std::vector<std::string>{"missing", "forty"}));

    m_events->TagSetonclick(Tag("setonhidein", {{"label", "h"}}), false);
    EXPECT_EQ(m_host.modeEvents[SScriptStateIndexes::EVENT_HIDEIN].ToCommaText(), "setonhidein,file,main.iet,label,h");
    m_events->TagDelonclick(Tag("delonhidein", {}), false);
    EXPECT_TRUE(m_host.modeEvents[SScriptStateIndexes::EVENT_HIDEIN].GetName().empty());
}

TEST_F(EventTagsFamilyTest, ALayerKeepsNoReachIntoAFamilyThatIsGone) {
    m_events->TagSetonclick(Tag("setonclick", {{"id", "a"}, {"label", "x"}}), false);
    m_events.reset();
    Layer().GetOnClick()();
    EXPECT_TRUE(m_host.ran.empty());
}

}  // namespace
