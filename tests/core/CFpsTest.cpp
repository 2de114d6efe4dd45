#include "CORE/CFps.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "Application/PlatformServicesScope.h"
#include "CORE/CTimer.h"
#include "CORE/Platform/HeadlessClock.h"

using kestrin::CFps;
using kestrin::CTimer;
using kestrin::HeadlessClock;
using kestrin::PlatformServicesInEffect;
using kestrin::PlatformServicesScope;
using kestrin::SPlatformServices;

namespace {
class CFpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        clock = std::make_shared<HeadlessClock>(5000);
        SPlatformServices fakes = PlatformServicesInEffect();
        fakes.clock = clock;
        services.emplace(fakes);
    }
    void TearDown() override {
        CTimer::ReleaseInstance();
        services.reset();
    }
    std::shared_ptr<HeadlessClock> clock;
    std::optional<PlatformServicesScope> services;
};
}  // namespace

TEST_F(CFpsTest, PeriodIs17066AndSixtyFramesTakeOneSecondWithoutDrift) {
    CFps fps(0);
    EXPECT_EQ(fps.GetFps(), 60u);
    EXPECT_EQ(fps.GetPeriod(), 17066);
    fps.Wait();  // starts the schedule
    const uint32_t start = clock->Now();
    for (int i = 0; i < 600; ++i) {
        fps.Wait();
        EXPECT_FALSE(fps.IsSkipFrame());
        EXPECT_EQ(fps.GetTime(), clock->Now());
    }
    // 600 periods of 17066/1024 ms = 9999.6 ms: whole-millisecond sleeps keep the fraction.
    const uint32_t spent = clock->Now() - start;
    EXPECT_GE(spent, 9999u);
    EXPECT_LE(spent, 10000u);
    for (uint32_t s : clock->Sleeps()) EXPECT_TRUE(s == 16 || s == 17) << s;
}

TEST_F(CFpsTest, CarryAndSubMillisecondEarlyFrame) {
    CFps fps(60);
    fps.Wait();
    // 16 ms of work: 0.666 ms early (682 ticks) -> no sleep, the rest kept as carry.
    clock->Advance(16);
    clock->ClearSleeps();
    fps.Wait();
    EXPECT_TRUE(clock->Sleeps().empty());
    EXPECT_EQ(fps.GetCarry(), 17066 - 16 * 1024);
    EXPECT_FALSE(fps.IsSkipFrame());
    // The next frame's deadline includes the carry: 17066 + 682 ticks = 17.33 ms -> sleep 17.
    fps.Wait();
    ASSERT_EQ(clock->Sleeps().size(), 1u);
    EXPECT_EQ(clock->Sleeps()[0], 17u);
    EXPECT_EQ(fps.GetCarry(), 17066 + 682 - 17 * 1024);
}

TEST_F(CFpsTest, LateFrameSkipsDrawAndShortensTheNextDeadline) {
    CFps fps(60);
    fps.Wait();
    clock->Advance(22);  // 5.3 ms late
    fps.Wait();
    EXPECT_TRUE(fps.IsSkipFrame());
    EXPECT_EQ(fps.GetCarry(), 17066 - 22 * 1024);
    clock->ClearSleeps();
    fps.Wait();  // no work: the next period is shortened by the lateness
    EXPECT_FALSE(fps.IsSkipFrame());
    ASSERT_EQ(clock->Sleeps().size(), 1u);
    EXPECT_EQ(clock->Sleeps()[0], static_cast<uint32_t>((17066 + 17066 - 22 * 1024) >> 10));
    // Staying behind keeps skipping.
    fps.Wait();
    clock->Advance(40);
    fps.Wait();
    EXPECT_TRUE(fps.IsSkipFrame());
    clock->Advance(40);
    fps.Wait();
    EXPECT_TRUE(fps.IsSkipFrame());
}

TEST_F(CFpsTest, GapOfOneSecondResynchronises) {
    CFps fps(60);
    fps.Wait();
    clock->Advance(30);
    fps.Wait();
    ASSERT_TRUE(fps.IsSkipFrame());
    clock->Advance(1000);
    fps.Wait();
    EXPECT_FALSE(fps.IsSkipFrame());
    EXPECT_EQ(fps.GetCarry(), 0);
    EXPECT_EQ(fps.GetLastTick(), clock->Now() << 10);
    clock->ClearSleeps();
    fps.Wait();
    ASSERT_EQ(clock->Sleeps().size(), 1u);
    EXPECT_EQ(clock->Sleeps()[0], 16u);
}

TEST_F(CFpsTest, PermanentLagOverASecondStartsANewSchedule) {
    CFps fps(60);
    fps.Wait();
    // Each frame takes 30 ms: the lag grows by ~13.3 ms a frame.
    int skipped = 0;
    for (int i = 0; i < 200; ++i) {
        clock->Advance(30);
        fps.Wait();
        if (fps.IsSkipFrame()) ++skipped;
        EXPECT_GE(fps.GetCarry(), -1024000 - 17066) << i;
    }
    // Resynchronising lets a frame through now and then instead of never drawing.
    EXPECT_LT(skipped, 200);
}

TEST_F(CFpsTest, NoWaitRunsBackToBackAndThenStartsANewSchedule) {
    CFps fps(60);
    fps.Wait();
    fps.SetNoWait(true);
    clock->ClearSleeps();
    for (int i = 0; i < 5; ++i) {
        clock->Advance(40);
        fps.Wait();
        EXPECT_FALSE(fps.IsSkipFrame());
        EXPECT_EQ(fps.GetLastTick(), 0u);
    }
    EXPECT_TRUE(clock->Sleeps().empty());
    fps.SetNoWait(false);
    clock->Advance(3);
    fps.Wait();  // new schedule from the current clock
    EXPECT_TRUE(clock->Sleeps().empty());
    EXPECT_EQ(fps.GetLastTick(), clock->Now() << 10);
    fps.Wait();
    ASSERT_EQ(clock->Sleeps().size(), 1u);
    EXPECT_EQ(clock->Sleeps()[0], 16u);
}

TEST_F(CFpsTest, ClockWrapAroundKeepsPacing) {
    // The tick value (ms << 10) wraps every 2^22 ms; the ms clock itself wraps at 2^32.
    for (uint32_t start : {(1u << 22) - 20u, 0xFFFFFFFFu - 20u}) {
        clock->SetTime(start);
        CFps fps(60);
        fps.Wait();
        clock->ClearSleeps();
        for (int i = 0; i < 6; ++i) {
            fps.Wait();
            EXPECT_FALSE(fps.IsSkipFrame());
        }
        ASSERT_EQ(clock->Sleeps().size(), 6u);
        for (uint32_t s : clock->Sleeps()) EXPECT_TRUE(s == 16 || s == 17) << s;
    }
}

TEST_F(CFpsTest, SetFpsAndSleepOvershoot) {
    CFps fps(60);
    fps.SetFps(30);
    EXPECT_EQ(fps.GetPeriod(), 34133);
    fps.SetFps(0);
    EXPECT_EQ(fps.GetFps(), 30u);
    fps.Wait();
    clock->SetSleepOvershoot(2);
    fps.Wait();
    // Sleep 33 ms + 2 ms overshoot: the overshoot is paid back by the carry.
    EXPECT_EQ(fps.GetCarry(), 34133 - 35 * 1024);
    CTimer::ReleaseInstance();
    CTimer::ReleaseInstance();  // a second release does nothing
}
