#include "CORE/CWindow.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CFps.h"
#include "CORE/CFrameDemand.h"
#include "CORE/CGameApplication.h"
#include "CORE/CGameWindow.h"
#include "CORE/CTimer.h"
#include "CORE/Platform/HeadlessClock.h"
#include "CORE/Platform/HeadlessWindowSystem.h"

using namespace kestrin;

namespace {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ws = std::make_shared<HeadlessWindowSystem>();
        ws->SetDesktopSize(1024, 768);
        SPlatformServices fakes = PlatformServicesInEffect();
        fakes.windowSystem = ws;
        services.emplace(fakes);
        ClearWindowMessages();
    }
    void TearDown() override {
        ClearWindowMessages();
        services.reset();
    }
    std::vector<SMessage> Drain() {
        PumpWindowEvents();
        std::vector<SMessage> out;
        SMessage m;
        while (PeekWindowMessage(m)) out.push_back(m);
        return out;
    }
    std::shared_ptr<HeadlessWindowSystem> ws;
    std::optional<PlatformServicesScope> services;
};

struct RecordingWindow : CGameWindow {
    std::vector<SMessage> seen;
    bool OnMessage(WindowHandle w, uint32_t msg, uintptr_t wp, intptr_t lp, intptr_t* r) override {
        seen.push_back(SMessage{w, msg, wp, lp});
        return CGameWindow::OnMessage(w, msg, wp, lp, r);
    }
};

SWindowEvent Event(EWindowEvent type, WindowHandle w, int x = 0, int y = 0) {
    SWindowEvent e;
    e.type = type;
    e.window = w;
    e.x = x;
    e.y = y;
    return e;
}

}  // namespace

TEST_F(WindowTest, CreateCentresWithClientSizeAndStyle) {
    CGameWindow window;
    ASSERT_FALSE(window.Create(kCentred, kCentred, 640, 480, "Kestrin", "", kWsPopup, kSwShowNormal, 0));
    const auto* w = ws->Find(window.GetHandle());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->width, 640);
    EXPECT_EQ(w->height, 480);
    EXPECT_EQ(w->x, 192);
    EXPECT_EQ(w->y, 144);
    EXPECT_TRUE(w->frameless);
    EXPECT_FALSE(w->resizable);
    EXPECT_EQ(window.GetStyle(), kWsPopup | kWsClipChildren);
    EXPECT_FLOAT_EQ(window.GetAspectRatio(), 640.0f / 480.0f);
    EXPECT_EQ(CWindow::GetMainWindow(), &window);

    CGameWindow second;
    ASSERT_FALSE(second.Create(10, 20, 300, 200, "B", "", kWsOverlappedWindow, kSwShowNoActivate, 0));
    EXPECT_TRUE(ws->Find(second.GetHandle())->resizable);
    EXPECT_FALSE(ws->Find(second.GetHandle())->frameless);
    EXPECT_TRUE(ws->HasKeyboardFocus(window.GetHandle()));  // shown without taking the focus
    ASSERT_EQ(CWindow::GetTopLevelWindows().size(), 2u);
    window.Destroy();
    EXPECT_EQ(ws->WindowCount(), 1u);
    EXPECT_EQ(CWindow::GetMainWindow(), &second);
    window.Destroy();  // twice is harmless
}

TEST_F(WindowTest, TooLargeFailsAndCreateFittedKeepsTheAspectRatio) {
    struct Case {
        int w, h;
        int x, y, fw, fh;
    };
    // Desktop 1024 x 768: a wide request fills the width, a tall one the height.
    const Case cases[] = {{1600, 900, 0, 96, 1024, 576}, {600, 1000, 281, 0, 461, 768}, {1024, 768, 0, 0, 1024, 768}};
    for (const Case& c : cases) {
        CGameWindow plain;
        EXPECT_EQ(plain.Create(kCentred, kCentred, c.w, c.h, "K", "", kWsFixedFrame, kSwShow, 0),
                  c.w > 1024 || c.h > 768);
        plain.Destroy();
        CGameWindow window;
        ASSERT_FALSE(window.CreateFitted(kCentred, kCentred, c.w, c.h, "K", "", kWsFixedFrame, kSwShow, 0));
        EXPECT_EQ(window.GetWidth(), c.fw) << c.w;
        EXPECT_EQ(window.GetHeight(), c.fh) << c.w;
        EXPECT_EQ(window.GetX(), c.x) << c.w;
        EXPECT_EQ(window.GetY(), c.y) << c.w;
    }
    ws->SetCreateFails(true);
    CGameWindow failing;
    EXPECT_TRUE(failing.CreateFitted(kCentred, kCentred, 640, 480, "K", "", kWsFixedFrame, kSwShow, 0));
    EXPECT_TRUE(failing.CreateFitted(kCentred, kCentred, 640, 0, "K", "", kWsFixedFrame, kSwShow, 0));
}

TEST(CGameWindowAspect, CorrectSizingRectEdgeTable) {
    // Client 640 x 480 without frame: ew = eh = 1.
    const SWindowRect current{0, 0, 640, 480};
    struct Case {
        const char* what;
        bool heightLedBefore;
        int edge;
        SWindowRect in, out;
        bool heightLedAfter;
    };
    // clang-format off
    const Case cases[] = {
        {"right edge changes the bottom", false, kWmszRight, {0, 0, 800, 480}, {0, 0, 800, 600}, false},
        {"left edge changes the bottom", false, kWmszLeft, {-160, 0, 640, 480}, {-160, 0, 640, 600}, false},
        {"top-left after width-led changes the top", false, kWmszTopLeft, {-80, 0, 640, 480}, {-80, -60, 640, 480},
         false},
        {"bottom-right corner width-led", false, kWmszBottomRight, {0, 0, 400, 500}, {0, 0, 400, 300}, false},
        {"top edge switches to height-led and moves the right", false, kWmszTop, {0, -120, 640, 480},
         {0, -120, 800, 480}, true},
        {"bottom edge height-led", true, kWmszBottom, {0, 0, 640, 240}, {0, 0, 320, 240}, true},
        {"height-led bottom-left changes the left", true, kWmszBottomLeft, {0, 0, 640, 600}, {-160, 0, 640, 600},
         true},
        {"height-led, a width drag keeping top and bottom leads by width", true, kWmszRight, {0, 0, 320, 480},
         {0, 0, 320, 240}, false},
        {"top edge while width leads keeps the rectangle", true, kWmszTop, {0, 0, 800, 480}, {0, 0, 800, 480}, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        SWindowRect r = c.in;
        bool heightLed = c.heightLedBefore;
        CGameWindow::CorrectSizingRect(r, current, c.edge, 640.0f / 480.0f, 1, 1, heightLed);
        EXPECT_EQ(r, c.out) << c.what << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
        EXPECT_EQ(heightLed, c.heightLedAfter) << c.what;
    }
    // A zero or undefined ratio (zero client height) leaves the rectangle alone.
    for (float bad : {0.0f, 1.0f / 0.0f}) {
        SWindowRect r{0, 0, 800, 480};
        bool heightLed = false;
        CGameWindow::CorrectSizingRect(r, current, kWmszRight, bad, 1, 1, heightLed);
        EXPECT_EQ(r, (SWindowRect{0, 0, 800, 480}));
    }
}

TEST_F(WindowTest, ResizeOfAFixedAspectWindowIsCorrectedAndReported) {
    RecordingWindow window;
    ASSERT_FALSE(window.Create(0, 0, 640, 480, "K", "", kWsOverlappedWindow, kSwShow, 0));
    window.SetFixedAspectRatio(true);
    ws->UserResize(window.GetHandle(), 800, 480);
    auto messages = Drain();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, kWmSize);
    EXPECT_EQ(messages[0].wParam, kSizeRestored);
    EXPECT_EQ(LowWord(messages[0].lParam), 800);
    EXPECT_EQ(HighWord(messages[0].lParam), 600);
    EXPECT_EQ(ws->Find(window.GetHandle())->height, 600);
    ASSERT_FALSE(window.seen.empty());
    EXPECT_EQ(window.seen[0].message, kWmSizing);

    // Without the flag the size stays as the user made it.
    window.SetFixedAspectRatio(false);
    ws->UserResize(window.GetHandle(), 500, 500);
    messages = Drain();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(HighWord(messages[0].lParam), 500);

    // Minimised: a zero size arrives as SIZE_MINIMIZED.
    ws->PushEvent(Event(EWindowEvent::Minimized, window.GetHandle()));
    messages = Drain();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].wParam, kSizeMinimized);
}

TEST_F(WindowTest, EventsBecomeMessages) {
    CGameWindow window;
    ASSERT_FALSE(window.Create(0, 0, 640, 480, "K", "", kWsFixedFrame, kSwShow, 0));
    const WindowHandle h = window.GetHandle();
    ws->PushEvent(Event(EWindowEvent::Quit, 0));
    ws->PushEvent(Event(EWindowEvent::Close, h));
    SWindowEvent key = Event(EWindowEvent::KeyDown, h);
    key.key = kVkReturn;
    key.alt = true;
    ws->PushEvent(key);
    key.alt = false;
    key.key = 65;
    ws->PushEvent(key);
    SWindowEvent wheel = Event(EWindowEvent::MouseWheel, h);
    wheel.wheel = -2;
    ws->PushEvent(wheel);
    ws->PushEvent(Event(EWindowEvent::MouseMove, h, 12, 34));
    SWindowEvent click = Event(EWindowEvent::MouseButtonDown, h, 1, 2);
    click.key = 2;
    ws->PushEvent(click);
    ws->PushEvent(Event(EWindowEvent::Close, 999));  // unknown window: dropped

    auto m = Drain();
    ASSERT_EQ(m.size(), 8u);
    EXPECT_EQ(m[0].message, kWmClose);  // quit closes the main window
    EXPECT_EQ(m[0].window, h);
    EXPECT_EQ(m[1].message, kWmClose);
    EXPECT_EQ(m[2].message, kWmSysKeyDown);
    EXPECT_EQ(m[2].wParam, 13u);
    EXPECT_EQ(m[3].message, kWmKeyDown);
    EXPECT_EQ(m[3].wParam, 65u);
    EXPECT_EQ(m[4].message, kWmMouseWheel);
    EXPECT_EQ(HighWord(static_cast<intptr_t>(m[4].wParam)), 0xFF88);
    EXPECT_EQ(m[5].message, kWmMouseWheel);
    EXPECT_EQ(m[6].message, kWmMouseMove);
    EXPECT_EQ(LowWord(m[6].lParam), 12);
    EXPECT_EQ(HighWord(m[6].lParam), 34);
    EXPECT_EQ(m[7].message, kWmRButtonDown);

    // Quit comes after everything posted before it, once.
    PostQuitMessage(3);
    PostWindowMessage(h, kWmClose, 0, 0);
    m = Drain();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[1].message, kWmQuit);
    EXPECT_EQ(m[1].wParam, 3u);
    EXPECT_TRUE(Drain().empty());

    window.Destroy();
    ws->PushEvent(Event(EWindowEvent::Quit, 0));
    m = Drain();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].message, kWmQuit);  // no window left: quit at once
}

TEST_F(WindowTest, HooksRunInIdOrderAfterOnMessage) {
    RecordingWindow window;
    ASSERT_FALSE(window.Create(0, 0, 100, 100, "K", "", kWsPopup, kSwShow, 0));
    std::vector<int> order;
    window.AddMessageHook(5, [&](WindowHandle, uint32_t, uintptr_t, intptr_t, intptr_t*) {
        order.push_back(5);
        return true;
    });
    window.AddMessageHook(2, [&](WindowHandle, uint32_t, uintptr_t, intptr_t, intptr_t* r) {
        order.push_back(2);
        *r = 42;
        return false;
    });
    EXPECT_EQ(SendWindowMessage(window.GetHandle(), 0x400, 0, 0), 42);
    EXPECT_EQ(order, std::vector<int>{2});
    EXPECT_EQ(window.RemoveMessageHook(2), 1);
    EXPECT_EQ(window.RemoveMessageHook(2), 0);
    window.AddMessageHook(5, [&](WindowHandle, uint32_t, uintptr_t, intptr_t, intptr_t*) {
        order.push_back(50);  // replaces the hook of the same id
        return true;
    });
    EXPECT_EQ(SendWindowMessage(window.GetHandle(), 0x400, 0, 0), 0);
    EXPECT_EQ(order, (std::vector<int>{2, 50}));
    EXPECT_EQ(window.seen.size(), 2u);
    EXPECT_EQ(SendWindowMessage(0, 0x400, 0, 0), 0);
}

TEST_F(WindowTest, ToggleFullScreenAndBack) {
    CGameWindow window;
    ASSERT_FALSE(window.Create(100, 50, 640, 480, "K", "", kWsOverlappedWindow, kSwShow, 0));
    window.ToggleFullScreen();
    EXPECT_TRUE(window.IsFullScreen());
    EXPECT_TRUE(ws->Find(window.GetHandle())->fullScreen);
    EXPECT_EQ(window.GetX(), 0);
    EXPECT_EQ(window.GetY(), 0);
    ws->SetClientSize(window.GetHandle(), 1024, 768);
    window.ToggleFullScreen();
    const auto* w = ws->Find(window.GetHandle());
    EXPECT_FALSE(w->fullScreen);
    EXPECT_EQ(w->x, 100);
    EXPECT_EQ(w->y, 50);
    EXPECT_EQ(w->width, 640);
    EXPECT_EQ(w->height, 480);
    EXPECT_TRUE(w->resizable);
    EXPECT_EQ(window.GetX(), 100);
}

namespace {
struct CountingApp : CGameApplication {
    CountingApp() : CGameApplication(60) {}
    void Update() override { ++updates; }
    void Draw() override { ++draws; }
    int updates = 0, draws = 0;
};
}  // namespace

TEST_F(WindowTest, RunFrameDispatchesThenPacesUpdatesAndDraws) {
    auto clock = std::make_shared<HeadlessClock>(1000);
    SPlatformServices fakes = PlatformServicesInEffect();
    fakes.clock = clock;
    std::optional<PlatformServicesScope> scope(std::in_place, fakes);
    {
        CountingApp app;
        RecordingWindow window;
        ASSERT_FALSE(window.Create(0, 0, 64, 48, "K", "", kWsPopup, kSwShow, 0));
        ws->PushEvent(Event(EWindowEvent::MouseMove, window.GetHandle(), 1, 1));
        for (int i = 0; i < 60; ++i) ASSERT_FALSE(app.RunFrame());
        EXPECT_EQ(app.updates, 60);
        EXPECT_EQ(app.draws, 60);
        EXPECT_EQ(window.seen.size(), 1u);
        // 59 paced periods after the first frame: 983.3 ms.
        EXPECT_EQ(clock->Now() - 1000, 983u);
        clock->Advance(30);  // a slow frame: updated, not drawn
        ASSERT_FALSE(app.RunFrame());
        EXPECT_EQ(app.updates, 61);
        EXPECT_EQ(app.draws, 60);
        PostQuitMessage(0);
        EXPECT_TRUE(app.RunFrame());
        EXPECT_EQ(app.updates, 61);
    }
    CTimer::ReleaseInstance();
    scope.reset();
}

namespace {
struct DemandingApp : CGameApplication {
    DemandingApp() : CGameApplication(60) {}
    void Update() override {
        if (demand) demand();
    }
    void Draw() override {}
    std::function<void()> demand;
};
}  // namespace

TEST_F(WindowTest, QuietFramesWaitForEventsUntilAPartNeedsAFrame) {
    auto clock = std::make_shared<HeadlessClock>(1000);
    SPlatformServices fakes = PlatformServicesInEffect();
    fakes.clock = clock;
    std::optional<PlatformServicesScope> scope(std::in_place, fakes);
    ws->SetCanWait(true);
    {
        DemandingApp app;
        struct Case {
            const char* what;
            std::function<void()> demand;
            std::vector<uint32_t> waits;
        } cases[] = {
            {"nothing asks: the longest wait", nullptr, {CGameApplication::kMaxRestMs}},
            {"a frame due in 40 ms", [] { CFrameDemand::Within(40); }, {40}},
            {"the earliest of two", [] { CFrameDemand::Within(70), CFrameDemand::Within(25); }, {25}},
            {"due within a frame period: paced as usual", [] { CFrameDemand::Within(16); }, {}},
            {"the next frame on time", [] { CFrameDemand::Within(50), CFrameDemand::Now(); }, {}},
        };
        for (const auto& c : cases) {
            ASSERT_FALSE(app.RunFrame());  // settles whatever the case before asked
            const size_t before = ws->GetWaits().size();
            app.demand = c.demand;
            ASSERT_FALSE(app.RunFrame());
            app.demand = nullptr;
            std::vector<uint32_t> waits(ws->GetWaits().begin() + before, ws->GetWaits().end());
            EXPECT_EQ(waits, c.waits) << c.what;
        }
        // After a wait the next frame runs at once: the pacer does not sleep for it.
        app.demand = [] { CFrameDemand::Now(); };
        ASSERT_FALSE(app.RunFrame());
        app.demand = nullptr;
        ASSERT_FALSE(app.RunFrame());
        ASSERT_EQ(ws->GetWaits().back(), CGameApplication::kMaxRestMs);
        const uint32_t at = clock->Now();
        app.demand = [] { CFrameDemand::Now(); };
        ASSERT_FALSE(app.RunFrame());
        EXPECT_EQ(clock->Now(), at);
        // A message posted during the frame ends the wait before it starts.
        app.demand = [] { PostWindowMessage(0, 0x400, 0, 0); };
        const size_t before = ws->GetWaits().size();
        ASSERT_FALSE(app.RunFrame());
        EXPECT_EQ(ws->GetWaits().size(), before);
    }
    CTimer::ReleaseInstance();
    scope.reset();
}
