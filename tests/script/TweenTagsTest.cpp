// The tween and transition tags' family on its own, with a fake interpreter: the layers, the
// caret's waits and the save records go through the host, and a tween that outlives the
// family reaches nothing.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "GRAPHICS/CDisplayObject.h"
#include "GRAPHICS/TTween.h"
#include "GRAPHICS/TweenRegistry.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/ITweenTagHost.h"
#include "SCRIPT/tags/CTweenTags.h"

using namespace kestrin;

namespace {

using Events = std::vector<std::string>;

class Layer : public CDisplayObject {
public:
    IDisplayObject* Clone(bool copyState) const override {
        (void)copyState;
        return new Layer(*this);
    }
};

class FakeHost : public ITweenTagHost {
public:
    bool FindTweenTarget(const std::string& id, IDisplayObject*& object,
                         std::shared_ptr<IDisplayObject>& keep) override {
        auto it = layers.find(id);
        if (it == layers.end()) return false;
        object = it->second.get();
        keep = it->second;
        return true;
    }
    void AttachTween(const std::string& id, int32_t tween) override {
        if (layers.count(id)) attached[id].push_back(tween);
    }
    void FinishLayerTweens(const std::string& id) override {
        std::vector<int32_t> ids;
        ids.swap(attached[id]);
        for (int32_t tween : ids) FinishTween(tween);
    }
    void DeleteTweenedLayer(const std::string& id) override { events.push_back("delete " + id); }
    CMainScreen* GetTweenScreen() override { return nullptr; }
    void WaitForTween() override { events.push_back("wait"); }
    void WaitForTransition() override { events.push_back("transition"); }
    void EndTweenWait() override { events.push_back("end wait"); }
    void OnTransitionFinished() override { events.push_back("transition end"); }
    bool IsSkippingTweens() const override { return false; }
    CSaveData& GetTweenSaveData() override { return save; }
    void TraceTagAt(int level, const CScriptBlock& block, const char* format, va_list args) override {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        traces.push_back(std::to_string(level) + "@" + std::to_string(block.GetLine()) + ": " + text);
    }

    std::map<std::string, std::shared_ptr<IDisplayObject>> layers{{"a", std::make_shared<Layer>()},
                                                                  {"b", std::make_shared<Layer>()}};
    std::map<std::string, std::vector<int32_t>> attached;
    Events events;
    CSaveData save{nullptr, nullptr};
    std::vector<std::string> traces;
};

CScriptBlock Tag(const std::string& name, int line, std::vector<std::pair<std::string, std::string>> attributes) {
    CScriptBlock block(CScriptBlock::kTag, line, name);
    for (const auto& attribute : attributes) block.SetAttribute(attribute.first, attribute.second);
    return block;
}

CScriptBlock Tween(const std::string& id, const char* param, const char* from, const char* to,
                   std::vector<std::pair<std::string, std::string>> more = {}) {
    more.insert(more.end(), {{"id", id}, {"param", param}, {"from", from}, {"to", to}, {"msec", "100"}});
    return Tag("lytween", 1, std::move(more));
}

class TweenTagsTest : public ::testing::Test {
protected:
    ~TweenTagsTest() override { ClearTweenRegistry(); }

    std::string RecordText(const std::string& id) {
        std::string text;
        for (const auto& block : m_host.save.GetLayerRecord()[id])
            text += (text.empty() ? "" : " | ") + block.ToCommaText();
        return text;
    }
    void Run(uint32_t from, uint32_t to) {
        for (uint32_t now = from; now <= to; now += 50) UpdateTweens(now);
    }

    FakeHost m_host;
};

// The tween starts at "from" at once, the script waits for it, and its end lets the script
// go and is what a loaded game shows; "lytweendel" drops it from the record.
TEST_F(TweenTagsTest, ASyncTweenHoldsTheScriptUntilItEndsAndRecordsItsEndState) {
    CTweenTags tags(m_host);
    EXPECT_FALSE(tags.TagLytween(Tween("a", "left", "3", "30", {{"sync", "1"}}), false));
    EXPECT_EQ(m_host.layers["a"]->GetX(), 3);
    EXPECT_EQ(m_host.attached["a"].size(), 1u);
    EXPECT_EQ(m_host.events, (Events{"wait"}));
    EXPECT_EQ(RecordText("a"), "lyprop,id,a,left,30");

    Run(1000, 1200);
    EXPECT_EQ(m_host.layers["a"]->GetX(), 30);
    EXPECT_EQ(m_host.events, (Events{"wait", "end wait"}));

    // Replayed, the same tag neither waits nor records; an endless one is kept as it is.
    tags.TagLytween(Tween("b", "top", "0", "9", {{"sync", "1"}, {"repeat", "-1"}}), true);
    EXPECT_EQ(m_host.events, (Events{"wait", "end wait"}));
    tags.TagLytween(Tween("b", "top", "0", "9", {{"repeat", "-1"}}), false);
    EXPECT_EQ(RecordText("b"), "lytween,from,0,id,b,msec,100,param,top,repeat,-1,to,9");
    tags.TagLytweendel(Tag("lytweendel", 2, {{"id", "b"}}), false);
    EXPECT_EQ(RecordText("b"), "");
    EXPECT_EQ(m_host.layers["b"]->GetY(), 9);
    EXPECT_TRUE(m_host.traces.empty());
}

// Inside a tweenset nothing moves yet; "/tweenset" gives one queue to every layer it names,
// and a sync tween inside makes that end tag wait. The tweens run one after the other.
TEST_F(TweenTagsTest, ATweensetStartsOneQueueAtItsEndAndWaitsThere) {
    CTweenTags tags(m_host);
    m_host.layers["a"]->SetX(7);
    tags.TagTweenset(Tag("tweenset", 1, {}), false);
    tags.TagLytween(Tween("a", "left", "0", "10", {{"sync", "1"}}), false);
    tags.TagLytween(Tween("b", "top", "0", "20"), false);
    EXPECT_EQ(m_host.layers["a"]->GetX(), 7);
    EXPECT_TRUE(m_host.attached.empty());
    EXPECT_TRUE(m_host.events.empty());

    tags.TagTweensetEnd(Tag("/tweenset", 4, {}), false);
    ASSERT_EQ(m_host.attached["a"].size(), 1u);
    EXPECT_EQ(m_host.attached["a"], m_host.attached["b"]);
    EXPECT_EQ(m_host.events, (Events{"wait"}));

    Run(1000, 1150);
    EXPECT_EQ(m_host.layers["a"]->GetX(), 10);
    EXPECT_EQ(m_host.events, (Events{"wait", "end wait"}));
    EXPECT_LT(m_host.layers["b"]->GetY(), 20);
    Run(1200, 1400);
    EXPECT_EQ(m_host.layers["b"]->GetY(), 20);
}

// Errors and their traces: a missing layer, a property no tween drives, and a transition with
// nothing to fade on (the script stops for the frame but does not wait).
TEST_F(TweenTagsTest, WhatCannotRunIsTracedOrSkippedWithoutWaiting) {
    CTweenTags tags(m_host);
    EXPECT_FALSE(tags.TagLytween(Tween("nowhere", "left", "0", "5", {{"sync", "1"}}), false));
    EXPECT_FALSE(tags.TagLytween(Tween("a", "width", "0", "5", {{"sync", "1"}}), false));
    EXPECT_TRUE(tags.TagTrans(Tag("trans", 3, {{"type", "1"}, {"time", "100"}}), false));
    EXPECT_EQ(m_host.traces,
              (std::vector<std::string>{"2@1: [lytween id=\"nowhere\"] 指定されたレイヤーが見つかりません。"}));
    EXPECT_TRUE(m_host.attached.empty());
    EXPECT_TRUE(m_host.events.empty());
    EXPECT_TRUE(m_host.save.GetLayerRecord().empty());
}

// A boot finishes the running transition once, and forgets an open tweenset and the wait of
// a tween still running.
TEST_F(TweenTagsTest, ResetFinishesTheTransitionAndDropsTweensetAndWait) {
    CTweenTags tags(m_host);
    // Registered first, the sync tween takes the registry's first id, 0, which the family would
    // take for no transition at all.
    tags.TagLytween(Tween("a", "left", "0", "10", {{"sync", "1"}}), false);
    auto* fade = new TTween<int32_t>(nullptr, 0, 255, 1000, 0);
    int finished = 0;
    fade->SetOnFinish([&finished] { ++finished; });
    tags.SetTransitionTween(RegisterTween(fade));
    tags.TagTweenset(Tag("tweenset", 2, {}), false);

    tags.Reset();
    tags.FinishTransition();
    EXPECT_EQ(finished, 1);
    // Outside a tweenset again: the next tween starts at once.
    tags.TagLytween(Tween("b", "top", "4", "8"), false);
    EXPECT_EQ(m_host.layers["b"]->GetY(), 4);
    EXPECT_EQ(m_host.attached["b"].size(), 1u);
    Run(1000, 1200);
    EXPECT_EQ(m_host.events, (Events{"wait"}));
}

// The tween registry outlives the family: a tween ending after it is gone (a sync wait, a
// layer to delete) calls nothing.
TEST_F(TweenTagsTest, TweensEndingAfterTheFamilyReachNothing) {
    {
        CTweenTags tags(m_host);
        tags.TagLytween(Tween("a", "left", "0", "10", {{"sync", "1"}}), false);
        tags.TagLytween(Tween("b", "left", "0", "10", {{"delete", "1"}}), false);
        Run(1000, 1050);
    }
    Run(1100, 1300);
    EXPECT_EQ(m_host.layers["a"]->GetX(), 10);
    EXPECT_EQ(m_host.events, (Events{"wait"}));

    // While it lives, the delete tween's end deletes its layer.
    CTweenTags tags(m_host);
    tags.TagLytween(Tween("b", "left", "0", "10", {{"delete", "1"}}), false);
    Run(2000, 2200);
    EXPECT_EQ(m_host.events, (Events{"wait", "delete b"}));
}

}  // namespace
