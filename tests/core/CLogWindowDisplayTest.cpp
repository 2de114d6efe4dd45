#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CORE/CLogWindow.h"
#include "CORE/CWindow.h"
#include "CORE/Platform/FakeTextRasterizer.h"
#include "CORE/Platform/FakeWindowSystem.h"
#include "CORE/WindowMessages.h"

using namespace kestrin;

namespace {
class LogWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        CLogWindow::ReleaseInstance();
        ws = std::make_shared<FakeWindowSystem>();
        ws->SetHasDisplay(true);
        SetWindowSystem(ws);
        ClearWindowMessages();
        UseFonts({"ＭＳ ゴシック"});
        CLogWindow::SetWindowEnabled(true);
    }
    void TearDown() override {
        CLogWindow::ReleaseInstance();
        CLogWindow::SetTextRasterizerFactory(nullptr);
        CLogWindow::SetWindowEnabled(false);  // later tests in this binary stay on stderr
        ClearWindowMessages();
        SetWindowSystem(nullptr);
    }
    void UseFonts(std::set<std::string> installed, bool fallback = true) {
        CLogWindow::SetTextRasterizerFactory([this, installed, fallback]() {
            auto f = std::make_unique<FakeTextRasterizer>(installed);
            f->SetNoFallback(!fallback);
            font = f.get();
            return f;
        });
    }
    std::shared_ptr<FakeWindowSystem> ws;
    FakeTextRasterizer* font = nullptr;
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
    EXPECT_EQ(ws->WindowCount(), 0u);
    // The first line the engine logs while running opens it.
    LogPrintf("script error");
    CLogWindow::SetLineSink(nullptr);
    EXPECT_EQ(ws->WindowCount(), 1u);
    ASSERT_TRUE(CLogWindow::GetInstance()->HasWindow());
    EXPECT_EQ(CLogWindow::GetInstance()->GetLines(), std::deque<std::string>{"script error"});
    EXPECT_EQ(lines, (std::vector<std::string>{"Kestrin: game folder /g", "Kestrin: save folder /g/sv", "script error"}));
}
