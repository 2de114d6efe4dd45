#include "GRAPHICS/CTweenQueue.h"
#include "GRAPHICS/Easing.h"
#include "GRAPHICS/TTween.h"
#include "GRAPHICS/TweenRegistry.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

using namespace kestrin;

namespace {

using IntTween = TTween<int32_t>;

struct Recorder {
    std::vector<int32_t> values;
    int finishes = 0;
    IntTween* Make(int32_t start, int32_t end, uint32_t duration, int32_t delay = 0) {
        auto* t = new IntTween([this](int32_t v) { values.push_back(v); }, start, end, duration, delay);
        t->SetOnFinish([this] { ++finishes; });
        return t;
    }
};

class Tweens : public ::testing::Test {
protected:
    void TearDown() override { ClearTweenRegistry(); }
};

}  // namespace

TEST(Easing, CurvesMatchThePublishedFormulas) {
    // Reference values from tools/easing-reference (the published formulas in double precision);
    // the curves here use single-precision constants, hence the relative tolerance.
    std::istringstream table(kestrin_test::ReadFileBytes(kestrin_test::TestDataPath("graphics/easing_reference.txt")));
    std::string line;
    int rows = 0;
    std::vector<int> seen(kEaseKindCount, 0);
    while (std::getline(table, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream in(line);
        int kind;
        double e, b, c, d, expected;
        in >> kind >> e >> b >> c >> d >> expected;
        ASSERT_TRUE(in) << line;
        const double got = Ease(kind, e, b, c, d);
        EXPECT_NEAR(got, expected, 2e-5 * std::fabs(c) + 1e-9) << GetEaseName(kind) << ": " << line;
        ++seen[kind];
        ++rows;
    }
    EXPECT_GT(rows, 1000);
    for (int k = 0; k < kEaseKindCount; ++k) EXPECT_GT(seen[k], 0) << k;
    // Out-of-range kinds ease linearly.
    EXPECT_EQ(Ease(31, 250, 0, 100, 1000), 25.0);
    EXPECT_EQ(Ease(-1, 250, 0, 100, 1000), 25.0);
    EXPECT_STREQ(GetEaseName(30), "easeinout_bounce");
    EXPECT_EQ(GetEaseName(31), nullptr);
}

TEST_F(Tweens, DelayDurationAndTruncation) {
    Recorder r;
    IntTween* t = r.Make(0, -10, 100, 50);
    EXPECT_FALSE(t->Update(1000));  // starts at 1050
    EXPECT_FALSE(t->Update(1050));
    EXPECT_FALSE(t->Update(1147));  // -9.7 truncates to -9
    EXPECT_TRUE(t->Update(1150));
    EXPECT_TRUE(t->Update(1200));  // done: nothing more written
    EXPECT_EQ(r.values, (std::vector<int32_t>{0, 0, -9, -10}));
    EXPECT_EQ(r.finishes, 1);
    delete t;

    // Equal start and end finish at the first update, even with a delay.
    Recorder same;
    IntTween* s = same.Make(10, 10, 500, 300);
    EXPECT_TRUE(s->Update(5));
    EXPECT_EQ(same.values, (std::vector<int32_t>{10}));
    EXPECT_EQ(same.finishes, 1);
    delete s;

    // Zero duration: the end value as soon as the start is reached, at once without a delay.
    Recorder zero;
    IntTween* z = zero.Make(3, 8, 0, 0);
    EXPECT_TRUE(z->Update(100));
    EXPECT_EQ(zero.values, (std::vector<int32_t>{8}));
    delete z;
    Recorder later;
    IntTween* l = later.Make(3, 8, 0, 20);
    EXPECT_FALSE(l->Update(100));
    EXPECT_TRUE(l->Update(120));
    EXPECT_EQ(later.values, (std::vector<int32_t>{3, 8}));
    delete l;

    // Values beyond int32 saturate instead of being undefined.
    Recorder big;
    IntTween* o = big.Make(0, 2100000000, 100, 0);
    o->SetEase(23);  // easeout_back overshoots
    o->Update(1);
    o->Update(61);
    EXPECT_EQ(big.values.back(), 2147483647);
    delete o;
}

TEST_F(Tweens, RepeatsRunFromThePlannedEndAndYoyoTurnsBack) {
    Recorder r;
    IntTween* t = r.Make(0, 100, 1000, 0);
    t->SetRepeat(2);
    t->Update(1000);                // cycle 1: 1000..2000
    t->Update(2300);                // late frame: cycle 2 planned 2000..3000
    EXPECT_FALSE(t->Update(2500));  // half of cycle 2
    EXPECT_EQ(r.values.back(), 50);
    t->Update(3000);
    t->Update(3500);
    EXPECT_EQ(r.values.back(), 50);  // cycle 3 planned 3000..4000
    EXPECT_TRUE(t->Update(4000));
    EXPECT_EQ(r.finishes, 1);
    delete t;

    Recorder y;
    IntTween* u = y.Make(0, 100, 1000, 0);
    u->SetYoyo(1);
    u->Update(1);
    u->Update(1001);
    EXPECT_TRUE(u->IsBackward());
    u->Update(1251);
    EXPECT_EQ(y.values.back(), 75);
    u->Finish();  // the end value the tween was created with
    EXPECT_EQ(y.values.back(), 100);
    EXPECT_EQ(y.finishes, 1);
    u->Finish();
    EXPECT_EQ(y.finishes, 1);
    delete u;

    Recorder f;
    IntTween* forever = f.Make(0, 1, 10, 0);
    forever->SetYoyo(-1);
    for (uint32_t now = 1; now < 10000; now += 7) EXPECT_FALSE(forever->Update(now));
    forever->Stop();
    EXPECT_TRUE(forever->Update(10001));
    EXPECT_EQ(f.finishes, 0);
    delete forever;
}

TEST_F(Tweens, QueueRunsInOrderAndMovesOnWithinTheFrame) {
    Recorder a, b;
    auto* q = new CTweenQueue;
    q->Push(a.Make(5, 5, 100));
    q->Push(b.Make(0, 100, 100, 0));
    const int32_t id = RegisterTween(q);
    EXPECT_EQ(FindIntTween(id), nullptr);
    UpdateTweens(1000);
    EXPECT_EQ(a.finishes, 1);
    EXPECT_EQ(b.values, (std::vector<int32_t>{0}));  // second tween started in the same frame
    UpdateTweens(1050);
    EXPECT_EQ(b.values.back(), 50);
    FinishTween(id);
    EXPECT_EQ(b.values.back(), 100);
    EXPECT_EQ(b.finishes, 1);
    EXPECT_TRUE(IsTweenRegistered(id));
    UpdateTweens(1060);
    EXPECT_FALSE(IsTweenRegistered(id));
}

TEST_F(Tweens, RegistryOperationsById) {
    Recorder r;
    const int32_t first = RegisterTween(r.Make(0, 10, 100));
    const int32_t second = RegisterTween(r.Make(0, 10, 100));
    EXPECT_EQ(second, first + 1);
    ASSERT_NE(FindIntTween(first), nullptr);
    FindIntTween(first)->SetRepeat(1);
    EXPECT_EQ(FindIntTween(first)->GetRepeat(), 1);
    StopTween(12345);
    FinishTween(-1);
    StopTween(second);
    EXPECT_TRUE(IsTweenRegistered(second));
    UpdateTweens(10);
    EXPECT_FALSE(IsTweenRegistered(second));
    EXPECT_TRUE(IsTweenRegistered(first));
    ClearTweenRegistry();
    EXPECT_FALSE(IsTweenRegistered(first));
    EXPECT_EQ(r.finishes, 0);                           // clearing neither stops nor finishes
    EXPECT_GT(RegisterTween(r.Make(0, 1, 1)), second);  // ids are never reused
}

TEST_F(Tweens, TweensMayChangeTheRegistryDuringThePass) {
    // One tween's setter registers, stops and finishes others and finishes itself;
    // another's on-finish clears the registry. Nothing is freed under the walk (ASan checks).
    Recorder other, spawned;
    const int32_t victim = RegisterTween(other.Make(0, 100, 1000));
    const int32_t finished = RegisterTween(other.Make(0, 100, 1000));
    int32_t self = -1;
    int32_t child = -1;
    auto* driver = new IntTween(
        [&](int32_t) {
            if (child < 0) child = RegisterTween(spawned.Make(0, 10, 10));
            StopTween(victim);
            FinishTween(finished);
            FinishTween(self);
        },
        0, 100, 1000, 0);
    self = RegisterTween(driver);
    UpdateTweens(1);
    EXPECT_TRUE(spawned.values.empty());  // registered during the pass: first updated next pass
    EXPECT_FALSE(IsTweenRegistered(self));
    EXPECT_TRUE(IsTweenRegistered(child));
    UpdateTweens(2);
    EXPECT_FALSE(spawned.values.empty());
    EXPECT_FALSE(IsTweenRegistered(victim));

    int cleared = 0;
    for (int i = 0; i < 5; ++i) {
        auto* t = new IntTween([](int32_t) {}, 0, 0, 0, 0);
        t->SetOnFinish([&] {
            ++cleared;
            ClearTweenRegistry();
        });
        RegisterTween(t);
    }
    UpdateTweens(3);
    EXPECT_EQ(cleared, 1);
    EXPECT_FALSE(IsTweenRegistered(child));

    // A queue whose running tween stops the queue from inside.
    int32_t queueId = -1;
    auto* q = new CTweenQueue;
    q->Push(new IntTween([&](int32_t) { StopTween(queueId); }, 0, 100, 100, 0));
    q->Push(new IntTween([](int32_t) { FAIL() << "dropped tween ran"; }, 0, 100, 100, 0));
    queueId = RegisterTween(q);
    UpdateTweens(10);
    EXPECT_FALSE(IsTweenRegistered(queueId));
}
