// The window and debug tags without a screen: "caption" retitles the game window, "dialog"
// stores the answer, "openbrowser" hands only web addresses and the game's own files to the
// desktop (as an argument vector), "debugreload" continues in the edited script, "purchase"
// ends the frame; and the "ime" field's window rectangle stays within the int range.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "Application/PlatformServicesScope.h"
#include "CORE/CWindow.h"
#include "CORE/Platform/HeadlessMessageBox.h"
#include "CORE/Platform/HeadlessShellOpener.h"
#include "CORE/Platform/HeadlessWindowSystem.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "TEXT/ITextField.h"
#include "support/InterpreterFixture.h"

using namespace kestrin;

namespace {

class WindowTagsTest : public kestrin_test::InterpreterFixture {
protected:
    void SetUp() override {
        InterpreterFixture::SetUp();
        UseFakeInput();
        ASSERT_FALSE(m_gameWindow.Create(0, 0, 320, 240, "Game", "", 0, kSwShow, 0));
        SPlatformServices services = PlatformServicesInEffect();
        services.messageBox = Unowned(m_boxes);
        services.shellOpener = Unowned(m_opener);
        m_fakeServices.emplace(services);
        ASSERT_FALSE(m_fakeServices->Failed());
    }
    void TearDown() override {
        m_script.reset();
        m_gameWindow.Destroy();
        m_fakeServices.reset();
        InterpreterFixture::TearDown();
    }
    void Run(const std::string& text) {
        m_dir.Write("main.iet", text);
        m_script = std::make_unique<CMainScript>(nullptr);
        ASSERT_FALSE(m_script->Start());
        Step();
    }
    void Step() {
        m_now += 16;
        m_script->Update(m_now);
    }
    std::string Var(const std::string& name) { return m_script->GetVariables().GetString(name); }

    CWindow m_gameWindow;
    HeadlessMessageBox m_boxes;
    HeadlessShellOpener m_opener;
    std::optional<PlatformServicesScope> m_fakeServices;
};

TEST_F(WindowTagsTest, CaptionAndDialog) {
    m_boxes.answers = {kAnswerYes, kAnswerNo};
    Run("[var name=yes data=text]\n[caption data=\"Kestrin 日本\"]\n[dialog title=T message=M varname=yes]\n"
        "[dialog title=T message=N varname=no]\n[dialog title=Info message=Hello]\n");
    EXPECT_EQ(m_windows->Find(m_gameWindow.GetHandle())->desc.title, "Kestrin 日本");
    EXPECT_EQ(Var("yes"), "1");
    EXPECT_EQ(Var("no"), "0");
    ASSERT_EQ(m_boxes.shown.size(), 3u);
    EXPECT_EQ(m_boxes.shown[0].type, kMessageBoxYesNo);
    EXPECT_EQ(m_boxes.shown[2].type, kMessageBoxOk);
    EXPECT_EQ(m_boxes.shown[2].caption, "Info");
    EXPECT_EQ(m_boxes.shown[2].text, "Hello");
}

TEST_F(WindowTagsTest, OpenbrowserOpensOnlyWebPagesAndGameFiles) {
    m_dir.Write("Manual.html", "<p>");
    m_dir.Write("docs/a.txt", "a");
    struct SCase {
        const char* url;
        bool opened;
    } cases[] = {
        {"http://example.com/?a=1&b=2", true},
        {"HTTPS://example.com/", true},
        {"manual.html", true},
        {"docs\\a.txt", true},
        {"missing.html", false},
        {"../main.iet", false},
        {"docs/../../x", false},
        {"/etc/passwd", false},
        {"file:///etc/passwd", false},
        {"javascript:alert(1)", false},
        {"C:\\Windows\\notepad.exe", false},
        {"ftp://example.com/", false},
        {"", false},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.url);
        m_opener.runs.clear();
        m_lines.clear();
        // A backslash in a quoted value is written twice.
        std::string quoted;
        for (const char* p = c.url; *p; ++p) quoted += *p == '\\' ? std::string("\\\\") : std::string(1, *p);
        Run("[openbrowser url=\"" + quoted + "\"]\n");
        if (c.opened) {
            ASSERT_EQ(m_opener.runs.size(), 1u);
            ASSERT_EQ(m_opener.runs[0].size(), 2u);
            EXPECT_EQ(m_opener.runs[0][0], "xdg-open");
        } else {
            EXPECT_TRUE(m_opener.runs.empty());
            EXPECT_TRUE(LoggedWithin("[openbrowser url=\"" + std::string(c.url) + "\"]")) << AllLines();
        }
    }
    m_opener.runs.clear();
    Run("[openbrowser url=manual.html]\n");
    ASSERT_EQ(m_opener.runs.size(), 1u);
    EXPECT_NE(m_opener.runs[0][1].find("Manual.html"), std::string::npos) << "the file as it is on disk";
}

TEST_F(WindowTagsTest, DebugreloadContinuesInTheEditedScript) {
    Run("@\n[debugreload]\n[var name=x data=old]\n");
    ASSERT_EQ(m_script->GetState(), CMainScript::STAT_CLICK);
    m_dir.Write("main.iet", "@\n[debugreload]\n[var name=x data=new]\n");
    m_script->SetStatus(CMainScript::STAT_RUN);
    Step();
    EXPECT_EQ(Var("x"), "new");
    ASSERT_EQ(m_boxes.shown.size(), 1u);
    EXPECT_EQ(m_boxes.shown[0].caption, "デバッグ");
}

TEST_F(WindowTagsTest, PurchaseEndsTheFrameAndTheOthersDoNothing) {
    Run("[vibrate]\n[direction]\n[statusbar]\n[purchase]\n[var name=after data=1]\n");
    EXPECT_EQ(Var("after"), "");
    Step();
    EXPECT_EQ(Var("after"), "1");
}

TEST_F(WindowTagsTest, TheFieldRectangleIsClampedToInts) {
    Run("[ime type=field left=2147483647 top=-2147483648 width=2147483600 height=12 varname=v]\n");
    ITextField* field = m_script->GetTextField();
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->GetLeft(), INT_MAX);
    EXPECT_EQ(field->GetTop(), INT_MIN);
    EXPECT_EQ(field->GetWidth(), INT_MAX);
    EXPECT_EQ(field->GetHeight(), 12);
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_WAIT);
}

// kestrin-harness keeps "openbrowser" from the desktop: the request is logged, and no
// opener is started (a fake xdg-open first in PATH would leave a mark). The harness's
// output goes through a pipe that every child it starts inherits, so once the pipe is at
// its end any opener it started has ended too.
TEST(WindowTagsInHarness, OpenbrowserIsLoggedAndStartsNothing) {
    kestrin_test::TempDir dir;
    dir.Write("game/system.ini", "[WINDOW]\nWIDTH=64\nHEIGHT=48\n[SYSTEM]\nCHARSET=utf-8\n");
    dir.Write("game/manual.html", "<p>manual</p>\n");
    dir.Write("game/main.iet", "[openbrowser url=https://example.invalid/page]\n[openbrowser url=manual.html]\n");
    const std::string mark = dir.Path() + "/opened.txt";
    const std::string opener = dir.Write("bin/xdg-open", "#!/bin/sh\necho \"$@\" >> '" + mark + "'\n");
    ASSERT_EQ(chmod(opener.c_str(), 0755), 0);
    const std::string harness = std::string(KESTRIN_BINARY_DIR) + "/tests/harness/kestrin-harness";
    const std::string command = "(PATH='" + dir.Path() + "/bin':\"$PATH\" '" + harness + "' '" + dir.Path() +
                                "/game' --frames 0 --timeout 300 --trace '" + dir.Path() +
                                "/trace.txt' 2>&1; echo $? > '" + dir.Path() + "/status.txt') | cat > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(kestrin_test::ReadFileBytes(dir.Path() + "/status.txt"), "0\n");
    EXPECT_EQ(kestrin_test::ReadFileBytes(mark), "");
    const std::string trace = kestrin_test::ReadFileBytes(dir.Path() + "/trace.txt");
    EXPECT_NE(trace.find("kestrin-harness: would run: xdg-open https://example.invalid/page\n"), std::string::npos)
        << trace;
    EXPECT_NE(trace.find("kestrin-harness: would run: xdg-open manual.html\n"), std::string::npos) << trace;
}

}  // namespace
