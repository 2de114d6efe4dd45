#include "Application/CKestrin.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CFps.h"
#include "CORE/CInput.h"
#include "CORE/CTimer.h"
#include "CORE/Platform/HeadlessClock.h"
#include "CORE/Platform/HeadlessMessageBox.h"
#include "CORE/Platform/HeadlessWindowSystem.h"
#include "CORE/WindowMessages.h"

using namespace kestrin;

namespace {

struct Journal {
    std::vector<std::string> calls;
    int state = 0;
    bool skipping = false;
    bool software = false;
    bool startFails = false;
    int count(const std::string& what) const {
        int n = 0;
        for (const auto& c : calls) n += c == what;
        return n;
    }
};

struct FakeScreen : CKestrin::IScreen {
    explicit FakeScreen(Journal& j) : journal(j) {}
    void Update() override { journal.calls.push_back("screen.Update"); }
    void Draw() override { journal.calls.push_back("screen.Draw"); }
    bool IsSoftwareRender() const override { return journal.software; }
    Journal& journal;
};

struct FakeScript : CKestrin::IScript {
    FakeScript(Journal& j, CKestrin& app) : journal(j), application(app) {}
    bool Start(int) override {
        journal.calls.push_back("script.Start");
        return journal.startFails;
    }
    void Update(uint32_t now) override { journal.calls.push_back("script.Update " + std::to_string(now)); }
    void Idle() override {}
    int GetState() const override { return journal.state; }
    bool IsSkipping() const override { return journal.skipping; }
    void Leave() override { journal.calls.push_back("script.Leave"); }
    void ToggleFullScreen() override {
        journal.calls.push_back("script.ToggleFullScreen");
        if (!journal.software) application.ToggleFullScreen();
    }
    void UpdateTextFieldRect() override { journal.calls.push_back("script.UpdateTextFieldRect"); }
    Journal& journal;
    CKestrin& application;
};

class KestrinTest : public ::testing::Test {
protected:
    void SetUp() override {
        ws = std::make_shared<HeadlessWindowSystem>();
        ws->SetDesktopSize(1280, 1024);
        clock = std::make_shared<HeadlessClock>(1000);
        SPlatformServices fakes = PlatformServicesInEffect();
        fakes.windowSystem = ws;
        fakes.clock = clock;
        fakes.messageBox = Unowned(boxes);
        services.emplace(fakes);
        ClearWindowMessages();
        CKestrin::SetFactories(
            [this](CKestrin&) { return std::make_unique<FakeScreen>(journal); },
            [this](CKestrin& app, CKestrin::IScreen*) { return std::make_unique<FakeScript>(journal, app); });
    }
    void TearDown() override {
        app.reset();
        CKestrin::SetFactories(nullptr, nullptr);
        CInput::ReleaseInstance();
        CDynamicVariables::ReleaseInstance();
        CTimer::ReleaseInstance();
        services.reset();
        ClearWindowMessages();
    }
    void Start(int width = 640, int height = 480, uint32_t style = kWsFixedFrame) {
        app = std::make_unique<CKestrin>();
        ASSERT_FALSE(app->Create(kCentred, kCentred, width, height, "Kestrin", "", style, kSwShowNormal, 0));
        handle = app->GetHandle();
    }
    SWindowEvent Event(EWindowEvent type) {
        SWindowEvent e;
        e.type = type;
        e.window = handle;
        return e;
    }
    // Runs frames until the loop ends (or the limit); returns the number run.
    int RunUntilQuit(int limit = 20) {
        for (int i = 0; i < limit; ++i) {
            if (app->RunFrame()) return i;
        }
        return -1;
    }

    std::shared_ptr<HeadlessWindowSystem> ws;
    std::shared_ptr<HeadlessClock> clock;
    HeadlessMessageBox boxes;
    Journal journal;
    std::optional<PlatformServicesScope> services;
    std::unique_ptr<CKestrin> app;
    WindowHandle handle = 0;
};

}  // namespace

TEST_F(KestrinTest, CreateOpensTheWindowAndBootsTheScript) {
    CDynamicVariables::GetInstance()->SetBool("ini.FixedAspectRatio", true);
    Start();
    const auto* w = ws->Find(handle);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->width, 640);
    EXPECT_EQ(w->height, 480);
    EXPECT_EQ(w->x, 320);
    EXPECT_EQ(w->y, 272);
    EXPECT_TRUE(app->IsFixedAspectRatio());
    EXPECT_EQ(app->GetInput(), CInput::GetInstance());
    EXPECT_EQ(journal.calls, std::vector<std::string>{"script.Start"});

    journal.startFails = true;
    CKestrin failing;
    EXPECT_TRUE(failing.Create(kCentred, kCentred, 640, 480, "Kestrin", "", kWsFixedFrame, 1, 0));
}

TEST_F(KestrinTest, UpdateOrderAndSkipping) {
    Start();
    journal.calls.clear();
    journal.skipping = true;
    ASSERT_FALSE(app->RunFrame());
    EXPECT_EQ(journal.calls, (std::vector<std::string>{"screen.Update", "script.Update 1000", "screen.Draw"}));
    EXPECT_TRUE(app->GetFps()->IsNoWait());
}

TEST_F(KestrinTest, SoftwareRendererNeedsTheFullSize) {
    journal.software = true;
    app = std::make_unique<CKestrin>();
    // 1600 x 1200 is shrunk to fit 1280 x 1024: the software path cannot scale.
    EXPECT_TRUE(app->Create(kCentred, kCentred, 1600, 1200, "Kestrin", "", kWsOverlappedWindow, 1, 0));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "デスクトップ解像度が不足しているため起動できません。");
    // At full size the window loses its sizing frame.
    app = std::make_unique<CKestrin>();
    ASSERT_FALSE(app->Create(kCentred, kCentred, 640, 480, "Kestrin", "", kWsOverlappedWindow, 1, 0));
    EXPECT_FALSE(ws->Find(app->GetHandle())->resizable);
}

TEST_F(KestrinTest, CloseRequestsLeaveOnceAndEndTheLoop) {
    Start();
    // The close box, a signal and Alt+F4 all arrive before the loop turns.
    ws->PushEvent(Event(EWindowEvent::Close));
    ws->PushEvent(Event(EWindowEvent::Quit));
    SWindowEvent altF4 = Event(EWindowEvent::KeyDown);
    altF4.key = kVkF4;
    altF4.alt = true;
    ws->PushEvent(altF4);
    EXPECT_EQ(RunUntilQuit(), 0);
    EXPECT_EQ(journal.count("script.Leave"), 1);
    EXPECT_TRUE(app->HasLeft());
    // A later destroy does nothing more.
    PostWindowMessage(handle, kWmDestroy, 0, 0);
    app->RunFrame();
    EXPECT_EQ(journal.count("script.Leave"), 1);
}

TEST_F(KestrinTest, QuitStateEndsWithoutLeaving) {
    Start();
    ASSERT_FALSE(app->RunFrame());
    journal.state = CKestrin::kStateQuit;
    EXPECT_EQ(RunUntilQuit(), 1);  // the frame that sees it posts the destroy
    EXPECT_EQ(journal.count("script.Leave"), 0);
}

TEST_F(KestrinTest, FullScreenByAltEnterAndMaximise) {
    Start();
    SWindowEvent altEnter = Event(EWindowEvent::KeyDown);
    altEnter.key = kVkReturn;
    altEnter.alt = true;
    ws->PushEvent(altEnter);
    altEnter.repeat = true;  // the key repeat does not flip it back
    ws->PushEvent(altEnter);
    ASSERT_FALSE(app->RunFrame());
    EXPECT_EQ(journal.count("script.ToggleFullScreen"), 1);
    EXPECT_TRUE(app->IsFullScreen());
    EXPECT_TRUE(ws->Find(handle)->fullScreen);
    ws->PushEvent(Event(EWindowEvent::Maximized));  // already full screen: stays
    altEnter.repeat = false;
    ws->PushEvent(altEnter);
    ASSERT_FALSE(app->RunFrame());
    EXPECT_FALSE(app->IsFullScreen());
    EXPECT_EQ(ws->Find(handle)->width, 640);
    ws->PushEvent(Event(EWindowEvent::Maximized));
    ws->PushEvent(Event(EWindowEvent::Restored));
    ASSERT_FALSE(app->RunFrame());
    EXPECT_TRUE(app->IsFullScreen());
    EXPECT_EQ(journal.count("script.UpdateTextFieldRect"), 1);
}

TEST_F(KestrinTest, WheelNotchesBecomePseudoKeys) {
    Start();
    SWindowEvent wheel = Event(EWindowEvent::MouseWheel);
    wheel.wheel = 1;
    ws->PushEvent(wheel);
    PostWindowMessage(handle, kWmMouseWheel, uintptr_t(240) << 16, 0);  // two notches in one message
    ASSERT_FALSE(app->RunFrame());
    EXPECT_EQ(app->GetInput()->GetKeyState(136), CInput::kPressed);
    EXPECT_EQ(app->GetInput()->GetKeyState(137), CInput::kUp);
    EXPECT_TRUE(app->GetInput()->IsDown(136));
    wheel.wheel = -1;
    ws->PushEvent(wheel);
    ASSERT_FALSE(app->RunFrame());
    EXPECT_EQ(app->GetInput()->GetKeyState(137), CInput::kPressed);
}

TEST_F(KestrinTest, ScreenSaverEndsOnInput) {
    CDynamicVariables::GetInstance()->SetBool("ini.ScreenSaver", true);
    Start();
    SWindowEvent move = Event(EWindowEvent::MouseMove);
    move.x = 10;
    move.y = 10;
    ws->PushEvent(move);  // the first move only records the point
    ws->PushEvent(move);
    ASSERT_FALSE(app->RunFrame());
    move.x = 11;
    ws->PushEvent(move);
    EXPECT_EQ(RunUntilQuit(), 0);
    EXPECT_EQ(journal.count("script.Leave"), 1);

    for (EWindowEvent type : {EWindowEvent::KeyDown, EWindowEvent::MouseButtonDown, EWindowEvent::MouseWheel}) {
        app.reset();
        journal.calls.clear();
        Start();
        SWindowEvent e = Event(type);
        e.key = type == EWindowEvent::KeyDown ? 65 : 1;
        e.wheel = 1;
        ws->PushEvent(e);
        EXPECT_EQ(RunUntilQuit(), 0);
    }
}

TEST_F(KestrinTest, HeadlessLoopRunsAtExactlySixtyFramesOnTheVirtualClock) {
    Start();
    ASSERT_FALSE(app->RunFrame());
    const uint32_t start = clock->Now();
    for (int i = 0; i < 600; ++i) ASSERT_FALSE(app->RunFrame());
    // 600 periods of 1024000/60/1024 ms: 10 s within the rounding of the period.
    EXPECT_NEAR(static_cast<double>(clock->Now() - start), 10000.0, 1.0);
    EXPECT_EQ(journal.count("screen.Draw"), 601);
}
