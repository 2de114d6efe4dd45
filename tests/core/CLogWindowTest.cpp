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
