#include "CORE/CLogWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using kestrin::CLogWindow;

TEST(CLogWindow, PercentInTextIsShownUnchangedAndLongLinesAreKept) {
    std::vector<std::string> lines;
    CLogWindow::SetLineSink([&](const std::string& l) { lines.push_back(l); });
    kestrin::LogPrintf("%s", "100% done %d");
    std::string longText(20000, 'x');
    CLogWindow::GetInstance()->Print("%s", longText.c_str());
    CLogWindow::SetLineSink(nullptr);
    CLogWindow::ReleaseInstance();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "100% done %d");
    EXPECT_EQ(lines[1], longText);
}

TEST(CLogWindow, EngineLinesCarryTheirLevelAndAreaOnStderr) {
    struct Case {
        kestrin::ELogLevel level;
        const char* area;
        const char* sinkLine;
        const char* stderrLine;
    } cases[] = {
        {kestrin::ELogLevel::Error, "root.pfs", "root.pfs: 100% lost", "kestrin: error: root.pfs: 100% lost\n"},
        {kestrin::ELogLevel::Warning, "sound", "sound: 100% lost", "kestrin: warning: sound: 100% lost\n"},
        {kestrin::ELogLevel::Note, "debug server", "debug server: 100% lost",
         "kestrin: note: debug server: 100% lost\n"},
        {kestrin::ELogLevel::Note, "", "100% lost", "kestrin: note: 100% lost\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines;
        CLogWindow::SetLineSink([&](const std::string& l) { lines.push_back(l); });
        testing::internal::CaptureStderr();
        kestrin::Log(c.level, c.area, "%d%% %s", 100, "lost");
        const std::string err = testing::internal::GetCapturedStderr();
        CLogWindow::SetLineSink(nullptr);
        EXPECT_EQ(lines, std::vector<std::string>{c.sinkLine});
        EXPECT_EQ(err, c.stderrLine);
    }
    // The engine's defined messages and the program's own words keep their text on stderr too.
    testing::internal::CaptureStderr();
    kestrin::LogConsole("Kestrin: save folder %s", "/g/sv");
    kestrin::LogPrintf("%s(%d): [%s] message", "a.iet", 3, "tag");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Kestrin: save folder /g/sv\na.iet(3): [tag] message\n");
    CLogWindow::ReleaseInstance();
}
