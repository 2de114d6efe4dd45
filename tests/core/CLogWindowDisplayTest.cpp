#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CLogWindow.h"
#include "CORE/CWindow.h"
#include "CORE/RuntimeConfiguration.h"
#include "CORE/Platform/HeadlessTextRasterizer.h"
#include "CORE/Platform/HeadlessWindowSystem.h"
#include "CORE/WindowMessages.h"

using namespace kestrin;

namespace {
class LogWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        CLogWindow::ReleaseInstance();
        ws = std::make_shared<HeadlessWindowSystem>();
        ws->SetHasDisplay(true);
        fakes = PlatformServicesInEffect();
        fakes.windowSystem = ws;
        ClearWindowMessages();
        UseFonts({"ＭＳ ゴシック"});
        CLogWindow::SetWindowEnabled(true);
    }
    void TearDown() override {
        CLogWindow::ReleaseInstance();
        CLogWindow::SetWindowEnabled(false);  // later tests in this binary stay on stderr
        ClearWindowMessages();
        services.reset();
    }
    // The log window makes its font with the text rasterizer service.
    void UseFonts(std::set<std::string> installed, bool fallback = true) {
        fakes.textRasterizer = [this, installed, fallback]() {
            auto f = std::make_unique<HeadlessTextRasterizer>(installed);
            f->SetNoFallback(!fallback);
            font = f.get();
            return f;
        };
        services.reset();
        services.emplace(fakes);
    }
    std::shared_ptr<HeadlessWindowSystem> ws;
    SPlatformServices fakes;
    std::optional<PlatformServicesScope> services;
    HeadlessTextRasterizer* font = nullptr;
};
}  // namespace

TEST_F(LogWindowTest, OpensBesideTheGameWithoutTakingFocusOrBeingTheMainWindow) {
    CWindow game;
    ASSERT_FALSE(game.Create(kCentred, kCentred, 640, 480, "Kestrin", "", kWsFixedFrame, kSwShowNormal, 0));
    LogPrintf("first line");
    CLogWindow* log = CLogWindow::GetInstance();
    ASSERT_TRUE(log->HasWindow());
    const auto* w = ws->Find(log->GetHandle());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->x, 10);
    EXPECT_EQ(w->y, 10);
    EXPECT_EQ(w->width, 320);
    EXPECT_EQ(w->height, 480);
    EXPECT_TRUE(w->onTop);
    EXPECT_TRUE(ws->HasKeyboardFocus(game.GetHandle()));
    EXPECT_EQ(CWindow::GetMainWindow(), &game);
    EXPECT_EQ(log->GetFontFamily(), "ＭＳ ゴシック");
    EXPECT_EQ(log->GetLineHeight(), 12);

    // A quit request goes to the game, not to the log.
    SWindowEvent quit;
    quit.type = EWindowEvent::Quit;
    ws->PushEvent(quit);
    PumpWindowEvents();
    SMessage m;
    ASSERT_TRUE(PeekWindowMessage(m));
    EXPECT_EQ(m.window, game.GetHandle());
}

TEST_F(LogWindowTest, LinesAreDrawnOnRefreshAndScrollToTheEnd) {
    CLogWindow* log = CLogWindow::GetInstance();
    ASSERT_TRUE(log->HasWindow());
    LogPrintf("%s", "100% sure %d");
    log->PrintText("a\r\nb");
    EXPECT_EQ(log->GetLines(), (std::deque<std::string>{"100% sure %d", "a", "b"}));
    const auto* w = ws->Find(log->GetHandle());
    const int before = w->presents;
    CLogWindow::Refresh();
    EXPECT_EQ(w->presents, before + 1);
    CLogWindow::Refresh();  // nothing new: no redraw
    EXPECT_EQ(w->presents, before + 1);
    ASSERT_EQ(w->pictureWidth, 320);
    // The first line's first cell is drawn in black on white.
    EXPECT_EQ(w->lastPicture[2 * 320 + 3] & 0xFFFFFFu, 0u);
    EXPECT_EQ(w->lastPicture[2 * 320 + 300] & 0xFFFFFFu, 0xFFFFFFu);

    // More lines than fit: the newest are shown.
    font->drawn.clear();
    for (int i = 0; i < 100; ++i) log->Print("line %d", i);
    CLogWindow::Refresh();
    ASSERT_EQ(font->drawn.size(), 40u);
    EXPECT_EQ(font->drawn.back(), "line 99");
    for (size_t i = 0; i < CLogWindow::kMaxLines + 10; ++i) log->PrintText("x");
    EXPECT_EQ(log->GetLines().size(), CLogWindow::kMaxLines);
}

TEST_F(LogWindowTest, SizeSnapsToWholeLinesAndCloseLeavesItOpen) {
    CLogWindow* log = CLogWindow::GetInstance();
    ASSERT_TRUE(log->HasWindow());
    const WindowHandle h = log->GetHandle();
    ws->UserResize(h, 300, 485);
    ws->PushEvent(SWindowEvent{EWindowEvent::Close, h});
    SWindowEvent altF4{EWindowEvent::KeyDown, h};
    altF4.key = kVkF4;
    altF4.alt = true;
    ws->PushEvent(altF4);
    PumpWindowEvents();
    SMessage m;
    int destroys = 0;
    while (PeekWindowMessage(m)) {
        destroys += m.message == kWmDestroy;
        DispatchWindowMessage(m);
        ASSERT_NE(m.message, kWmQuit);
    }
    EXPECT_EQ(destroys, 2);
    ASSERT_NE(ws->Find(h), nullptr) << "the log window stays";
    EXPECT_EQ(ws->Find(h)->height, 480);
    EXPECT_EQ(ws->Find(h)->width, 300);
}

TEST_F(LogWindowTest, FontChoiceAndFallbacks) {
    UseFonts({"MeiryoKe_Gothic", "ＭＳ ゴシック"});
    EXPECT_EQ(CLogWindow::GetInstance()->GetLineHeight(), 17);
    EXPECT_EQ(CLogWindow::GetInstance()->GetFontFamily(), "MeiryoKe_Gothic");
    CLogWindow::ReleaseInstance();
    CLogWindow::SetWindowEnabled(true);
    UseFonts({});
    EXPECT_EQ(CLogWindow::GetInstance()->GetFontFamily(), "fallback");
    CLogWindow::ReleaseInstance();
    CLogWindow::SetWindowEnabled(true);
    UseFonts({}, false);
    CLogWindow* log = CLogWindow::GetInstance();
    EXPECT_TRUE(log->HasWindow());  // a blank window, but logging goes on
    EXPECT_EQ(log->GetFontFamily(), "");
    log->PrintText("still logged");
    CLogWindow::Refresh();
}

TEST_F(LogWindowTest, NoDisplayOrDisabledMeansStderrOnly) {
    ws->SetHasDisplay(false);
    std::vector<std::string> lines;
    CLogWindow::SetLineSink([&](const std::string& l) { lines.push_back(l); });
    LogPrintf("headless %d", 1);
    CLogWindow::SetLineSink(nullptr);
    EXPECT_FALSE(CLogWindow::GetInstance()->HasWindow());
    EXPECT_EQ(ws->WindowCount(), 0u);
    EXPECT_EQ(lines, std::vector<std::string>{"headless 1"});
    // Released and logged again (as at shutdown): the window is not tried twice.
    ws->SetHasDisplay(true);
    CLogWindow::ReleaseInstance();
    LogPrintf("late line");
    EXPECT_FALSE(CLogWindow::GetInstance()->HasWindow());
}

TEST_F(LogWindowTest, TheProgramsOwnNotesGoToStderrOnlyAndLeaveTheWindowClosed) {
    std::vector<std::string> lines;
    CLogWindow::SetLineSink([&](const std::string& l) { lines.push_back(l); });
    LogConsole("Kestrin: game folder %s", "/g");
    LogConsole("Kestrin: save folder %s", "/g/sv");
    // The engine's own lines, of every level, leave it closed.
    Log(ELogLevel::Error, "a.png", "broken PNG image");
    Log(ELogLevel::Warning, "sound", "no audio device");
    Log(ELogLevel::Note, "debug server", "listening");
    EXPECT_EQ(ws->WindowCount(), 0u);
    // The first line the engine logs while running opens it.
    LogPrintf("script error");
    // Once it is open, the engine's own lines still stay out of it.
    Log(ELogLevel::Error, "b.png", "broken PNG image");
    CLogWindow::SetLineSink(nullptr);
    EXPECT_EQ(ws->WindowCount(), 1u);
    ASSERT_TRUE(CLogWindow::GetInstance()->HasWindow());
    EXPECT_EQ(CLogWindow::GetInstance()->GetLines(), std::deque<std::string>{"script error"});
    EXPECT_EQ(lines, (std::vector<std::string>{"Kestrin: game folder /g", "Kestrin: save folder /g/sv",
                                               "a.png: broken PNG image", "sound: no audio device",
                                               "debug server: listening", "script error", "b.png: broken PNG image"}));
}

TEST_F(LogWindowTest, TheConfigurationCanKeepTheWindowClosed) {
    RuntimeConfiguration closed;
    closed.logWindow = false;
    SetRuntimeConfiguration(closed);
    LogPrintf("script error");
    SetRuntimeConfiguration({});
    EXPECT_FALSE(CLogWindow::GetInstance()->HasWindow());
    EXPECT_EQ(ws->WindowCount(), 0u);
}

TEST_F(LogWindowTest, LongLinesScrollSidewaysWithTheBarKeysAndShiftWheel) {
    CLogWindow* log = CLogWindow::GetInstance();
    ASSERT_TRUE(log->HasWindow());
    const WindowHandle h = log->GetHandle();
    const auto* w = ws->Find(h);
    auto pixel = [&](int x, int y) { return w->lastPicture[static_cast<size_t>(y) * 320 + x] & 0xFFFFFFu; };
    // Short lines fill the whole height and need no bar.
    for (int i = 0; i < 50; ++i) log->Print("short %d", i);
    CLogWindow::Refresh();
    EXPECT_EQ(pixel(300, 475), 0xFFFFFFu);

    // 100 cells of 6 pixels and the margins: 284 pixels more than the 320 of the view.
    const std::string longLine = "L" + std::string(98, '-') + "R";
    log->PrintText(longLine);
    font->drawn.clear();
    CLogWindow::Refresh();
    ASSERT_EQ(font->drawn.size(), 39u) << "the bar takes the last line's place";
    EXPECT_EQ(font->drawn.back(), longLine);
    EXPECT_NE(pixel(300, 480 - CLogWindow::kScrollBarHeight / 2), 0xFFFFFFu) << "no scroll bar";
    EXPECT_EQ(pixel(3, 38 * 12 + 2), 0u) << "the line starts at the left edge";

    auto send = [&](uint32_t message, uintptr_t wParam, intptr_t lParam) {
        PostWindowMessage(h, message, wParam, lParam);
        SMessage m;
        while (PeekWindowMessage(m)) DispatchWindowMessage(m);
    };
    auto key = [&](int vk) { send(kWmKeyDown, static_cast<uintptr_t>(vk), 1); };
    struct Step {
        const char* what;
        std::function<void()> act;
        int scroll;
        // clang-format off
    } steps[] = {
        {"End", [&] { key(35); }, 284},
        {"Left", [&] { key(37); }, 272},
        {"Right past the end", [&] { key(39); key(39); }, 284},
        {"Home", [&] { key(36); }, 0},
        {"Left at the start", [&] { key(37); }, 0},
        {"Shift+wheel back", [&] {
             ws->SetKeyDown(16, true);
             send(kWmMouseWheel, static_cast<uintptr_t>(0xFF88u) << 16, 0);
             ws->SetKeyDown(16, false);
         }, 36},
        {"wheel without Shift scrolls lines, not sideways", [&] {
             send(kWmMouseWheel, static_cast<uintptr_t>(0xFF88u) << 16, 0);
         }, 36},
        {"click on the bar right of the thumb: a page", [&] { send(kWmLButtonDown, 0, MakeLParam(310, 474)); }, 284},
        {"click on the text does nothing", [&] { send(kWmLButtonDown, 0, MakeLParam(10, 10)); }, 284},
        {"thumb dragged to the left end", [&] {
             send(kWmLButtonDown, 0, MakeLParam(300, 474));
             send(kWmMouseMove, 0, MakeLParam(-500, 474));
             send(kWmLButtonUp, 0, MakeLParam(-500, 474));
         }, 0},
        {"moving after the release does not drag", [&] { send(kWmMouseMove, 0, MakeLParam(300, 474)); }, 0},
    };
    // clang-format on
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(log->GetHorizontalScroll(), step.scroll) << step.what;
    }

    key(35);
    CLogWindow::Refresh();
    // Scrolled to the end: the line's last cell sits against the right edge.
    EXPECT_EQ(pixel(3, 38 * 12 + 2), 0u);
    EXPECT_EQ(pixel(320 - 2 - 3, 38 * 12 + 2), 0u);
    EXPECT_EQ(pixel(320 - 1, 38 * 12 + 2), 0xFFFFFFu);
    // A new line scrolls back to its start.
    log->PrintText("next");
    EXPECT_EQ(log->GetHorizontalScroll(), 0);
}
