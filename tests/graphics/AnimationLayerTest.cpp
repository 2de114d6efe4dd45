// Animation timing against a virtual clock.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CFrameDemand.h"
#include "CORE/Platform/HeadlessClock.h"
#include "GRAPHICS/CAnimationLayer.h"

using namespace kestrin;

namespace {

// A frame that writes its id into the log each time it is drawn.
class Probe : public CDisplayObject {
public:
    Probe(int id, std::vector<int>* log) : m_id(id), m_log(log) {}
    void OnDraw(const CMatrix2D&, float, int32_t) override { m_log->push_back(m_id); }

private:
    int m_id;
    std::vector<int>* m_log;
};

class AnimationLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_clock = std::make_shared<HeadlessClock>(5000);
        SPlatformServices services = PlatformServicesInEffect();
        services.clock = m_clock;
        m_scope.emplace(services);
    }
    void TearDown() override { m_scope.reset(); }

    std::shared_ptr<Probe> Frame(int id) { return std::make_shared<Probe>(id, &m_log); }
    // Draws at elapsed ms after the start; returns the id drawn, or 0 for nothing.
    int DrawAt(CAnimationLayer& layer, uint32_t elapsed) {
        m_clock->SetTime(layer.GetStartTime() + elapsed);
        m_log.clear();
        layer.Draw(CMatrix2D(), 255.0f);
        EXPECT_LE(m_log.size(), 1u);
        return m_log.empty() ? 0 : m_log.back();
    }

    std::shared_ptr<HeadlessClock> m_clock;
    std::optional<PlatformServicesScope> m_scope;
    std::vector<int> m_log;
};

TEST_F(AnimationLayerTest, ShowsFramesByTimeAndLoops) {
    CAnimationLayer layer;
    layer.SetFrame(Frame(1));
    EXPECT_EQ(layer.GetStartTime(), 5000u);
    layer.AddFrame(Frame(2), 100);
    layer.AddFrame(Frame(3), 200);
    layer.AddFrame(nullptr, 300);
    const uint32_t start = layer.GetStartTime();
    struct Case {
        uint32_t at;
        int frame;
    } cases[] = {{0, 1}, {50, 1}, {99, 1}, {100, 2}, {150, 2}, {250, 3}, {299, 3}};
    for (const Case& c : cases) EXPECT_EQ(DrawAt(layer, c.at), c.frame) << c.at;
    EXPECT_EQ(layer.GetStartTime(), start);
    // At 330 the loop restarts: the start moves on by one loop length.
    EXPECT_EQ(DrawAt(layer, 330), 1);
    EXPECT_EQ(layer.GetStartTime(), start + 300);
}

TEST_F(AnimationLayerTest, LateDrawSkipsWholeLoopsAtOnce) {
    CAnimationLayer layer;
    layer.SetFrame(Frame(1));
    layer.AddFrame(Frame(2), 100);
    layer.AddFrame(nullptr, 200);
    const uint32_t start = layer.GetStartTime();
    EXPECT_EQ(DrawAt(layer, 1050), 1);
    EXPECT_EQ(layer.GetStartTime(), start + 1000);
    // Hidden for days: still one step, and the right frame.
    m_clock->SetTime(layer.GetStartTime() + 4000000150u);
    m_log.clear();
    layer.Draw(CMatrix2D(), 255.0f);
    ASSERT_EQ(m_log.size(), 1u);
    EXPECT_EQ(m_log[0], 2);
}

TEST_F(AnimationLayerTest, WithoutLoopEndTheLastEntryOnlyEndsThePreviousFrame) {
    CAnimationLayer layer;
    layer.SetFrame(Frame(1));
    layer.AddFrame(Frame(2), 100);
    EXPECT_EQ(DrawAt(layer, 99), 1);
    EXPECT_EQ(DrawAt(layer, 100), 0);
    EXPECT_EQ(DrawAt(layer, 5000), 0);
}

TEST_F(AnimationLayerTest, DegenerateLoopsDrawNothingAndNeverHang) {
    {
        CAnimationLayer layer;  // an empty entry at time 0
        layer.SetFrame(nullptr);
        layer.AddFrame(Frame(2), 100);
        EXPECT_EQ(DrawAt(layer, 0), 0);
        EXPECT_EQ(DrawAt(layer, 150), 0);
    }
    {
        CAnimationLayer layer;  // a loop end before time 0
        layer.SetFrame(Frame(1));
        layer.AddFrame(nullptr, -5);
        EXPECT_EQ(DrawAt(layer, 10), 0);
    }
    {
        CAnimationLayer layer;  // no frame under 0: nothing before the first, and no entry made
        layer.AddFrame(Frame(2), 100);
        layer.AddFrame(nullptr, 200);
        EXPECT_EQ(DrawAt(layer, 50), 0);
        EXPECT_EQ(layer.GetFrames().count(0), 0u);
        EXPECT_EQ(DrawAt(layer, 150), 2);
        EXPECT_EQ(layer.GetFrames().size(), 2u);
    }
}

TEST_F(AnimationLayerTest, ExtentAndCloneFollowTheFirstFrame) {
    CAnimationLayer layer;
    layer.SetX(7);
    layer.SetY(9);
    EXPECT_EQ(layer.GetRight(), 7);
    EXPECT_EQ(layer.GetBottom(), 9);
    EXPECT_EQ(layer.GetWidth(), 0);
    layer.SetFrame(Frame(1));
    layer.AddFrame(Frame(2), 100);
    layer.AddFrame(nullptr, 200);
    std::unique_ptr<IDisplayObject> copy(layer.Clone(true));
    auto* anim = dynamic_cast<CAnimationLayer*>(copy.get());
    ASSERT_NE(anim, nullptr);
    EXPECT_EQ(anim->GetFrames(), layer.GetFrames());
    EXPECT_EQ(anim->GetStartTime(), layer.GetStartTime());
    EXPECT_EQ(anim->GetX(), 7);
    std::unique_ptr<IDisplayObject> fresh(layer.Clone(false));
    EXPECT_TRUE(dynamic_cast<CAnimationLayer*>(fresh.get())->GetFrames().empty());
}

}  // namespace

TEST_F(AnimationLayerTest, UpdatesAskForAFrameWhenTheNextEntryIsDue) {
    CAnimationLayer looping;
    looping.SetFrame(Frame(1));
    looping.AddFrame(Frame(2), 100);
    looping.AddFrame(nullptr, 300);
    CAnimationLayer once;
    once.SetFrame(Frame(1));
    once.AddFrame(Frame(2), 100);
    CAnimationLayer still;
    still.SetFrame(Frame(1));
    struct Case {
        CAnimationLayer* layer;
        uint32_t at;
        uint32_t due;                                                           // 10000: no frame asked for
    } cases[] = {{&looping, 30, 70}, {&looping, 250, 50}, {&looping, 330, 70},  // after the restart
                 {&once, 40, 60},    {&once, 100, 10000}, {&still, 50, 10000}};
    for (const Case& c : cases) {
        m_clock->SetTime(c.layer->GetStartTime() + c.at);
        CFrameDemand::Take(0);
        c.layer->Update(CMatrix2D(), 255.0f);
        EXPECT_EQ(CFrameDemand::Take(10000), c.due) << c.at;
    }
}
