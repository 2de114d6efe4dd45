#include "CORE/CLogWindow.h"
#include "CORE/Platform/SdlMessageBox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace kestrin;

// Without a display the box is logged in UTF-8 and answered with its default.
TEST(SdlMessageBox, HeadlessLogsUtf8AndAnswersTheDefault) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_FALSE(SdlMessageBox::HasDisplay());
    std::vector<std::string> lines;
    CLogWindow::SetLineSink([&](const std::string& l) { lines.push_back(l); });
    SdlMessageBox box;
    // Shift_JIS "表" (95 5C, from iconv) is shown as UTF-8 E8 A1 A8; UTF-8 text stays.
    EXPECT_EQ(box.Show("\x95\x5c", "\xe8\xb5\xb7", kMessageBoxYesNo), kAnswerNo);
    EXPECT_EQ(box.Show("ok?", "", kMessageBoxOk | kMessageBoxIconError), kAnswerOk);
    CLogWindow::SetLineSink(nullptr);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "[message box] \xe8\xb5\xb7: \xe8\xa1\xa8");
    EXPECT_EQ(lines[1], "[message box] : ok?");
}
